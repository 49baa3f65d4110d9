// The application object of the program: it catches every exception that an
// event handler lets out (EngineError or any other) at the event loop and
// hands it to the general error handler, which ends the program.
#pragma once

#include <QApplication>
#include <exception>
#include <functional>

namespace canalix::ui {

class GuardedApplication : public QApplication {
 public:
  GuardedApplication(int& argc, char** argv);

  // Called with the escaped error; it reports and returns the exit code, with
  // which the process then ends at once.
  void setErrorHandler(std::function<int(std::exception_ptr)> handler) { handler_ = std::move(handler); }

  // Reports `error` through the handler and ends the process.
  [[noreturn]] void fail(std::exception_ptr error);

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  std::function<int(std::exception_ptr)> handler_;
  bool failing_ = false;
};

}  // namespace canalix::ui
