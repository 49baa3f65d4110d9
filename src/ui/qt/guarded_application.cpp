// GuardedApplication: the event loop's catch of the general error handler.
//
// An error that reaches the event loop has interrupted some operation midway,
// so the program cannot go on: the handler reports it and the process ends
// with its exit code, without running more of the interrupted code.
#include "ui/qt/guarded_application.h"

#include <cstdio>
#include <cstdlib>

namespace canalix::ui {

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void GuardedApplication::fail(std::exception_ptr error) {
  int code = 1;
  if (!failing_ && handler_) {
    failing_ = true;  // an error inside the report itself ends at once
    try {
      code = handler_(error);
    } catch (...) {
      std::fputs("canalix: error while reporting an error\n", stderr);
    }
  }
  std::fflush(nullptr);
  std::_Exit(code);
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    fail(std::current_exception());
  }
}

}  // namespace canalix::ui
