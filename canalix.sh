#!/usr/bin/env bash
# Set-up script of Canalix for Linux.
#   ./canalix.sh run [DATA_DIR]   install what is missing, build, start the program
#   ./canalix.sh test             install what is missing, build, run every test
# DATA_DIR defaults to ~/Canalix, created on first start.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

packages=(cmake g++ make qt6-base-dev libqt6svg6 libgl-dev libgtest-dev zlib1g-dev breeze-icon-theme
          fonts-liberation2 libsqlite3-dev python3 python3-dbfread poppler-utils xvfb xauth)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Instalando: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
}

build() {
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$root/build" -j2
}

case "${1:-}" in
  run)
    install_missing
    build
    data="${2:-$HOME/Canalix}"
    mkdir -p "$data"
    cd "$data"
    exec "$root/build/canalix"
    ;;
  test)
    install_missing
    build
    cd "$root/build"
    exec ctest --output-on-failure
    ;;
  *)
    echo "uso: $0 run [CARPETA_DE_DATOS] | $0 test" >&2
    exit 2
    ;;
esac
