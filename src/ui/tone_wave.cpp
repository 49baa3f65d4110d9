// toneWave: a sine tone written as a PCM WAV file, all fields little-endian.
#include "ui/tone_wave.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace canalix::ui {
namespace {

void put16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

void put32(std::string& out, uint32_t v) {
  put16(out, static_cast<uint16_t>(v & 0xFFFF));
  put16(out, static_cast<uint16_t>(v >> 16));
}

}  // namespace

std::string toneWave(int hertz, int milliseconds, int sampleRate) {
  const uint32_t samples = static_cast<uint32_t>(std::max(0, milliseconds)) * sampleRate / 1000;
  const uint32_t dataBytes = samples * 2;
  std::string out;
  out.reserve(44 + dataBytes);
  out += "RIFF";
  put32(out, 36 + dataBytes);
  out += "WAVEfmt ";
  put32(out, 16);
  put16(out, 1);  // PCM
  put16(out, 1);  // mono
  put32(out, sampleRate);
  put32(out, sampleRate * 2);  // bytes per second
  put16(out, 2);               // bytes per frame
  put16(out, 16);              // bits per sample
  out += "data";
  put32(out, dataBytes);
  const uint32_t fade = std::min<uint32_t>(samples / 2, sampleRate / 200);  // 5 ms
  for (uint32_t i = 0; i < samples; ++i) {
    double gain = 0.5;
    if (fade > 0 && i < fade) gain *= double(i) / fade;
    if (fade > 0 && samples - i <= fade) gain *= double(samples - i - 1) / fade;
    const double s = std::sin(2.0 * std::numbers::pi * hertz * i / sampleRate) * gain;
    put16(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(s * 32767))));
  }
  return out;
}

}  // namespace canalix::ui
