// canalix: the desktop program, started in its data directory (its working
// directory) with at most one start-up parameter.
//
// Test-only hook: with CANALIX_TEST_EXIT_ANSWERS set (e.g. "no,si") the
// program answers its questions from that list instead of showing boxes, asks
// its main window to close once per answer and writes every box it would have
// shown to standard output (see src/shell/test_hook.h). Unset, it changes nothing.
#include "shell/principal_qt.h"
#include "ui/qt/guarded_application.h"

int main(int argc, char** argv) {
  canalix::ui::GuardedApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("canalix"));
  return canalix::shell::PRINCIPAL(app, argc, argv);
}
