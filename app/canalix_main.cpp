// canalix: the desktop program, started in its data directory.
#include "shell/principal_qt.h"
#include "ui/qt/guarded_application.h"

int main(int argc, char** argv) {
  canalix::ui::GuardedApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("canalix"));
  return canalix::shell::PRINCIPAL(app, argc, argv);
}
