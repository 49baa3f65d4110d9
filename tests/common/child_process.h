// A forked copy of the test standing for another copy of the program: it runs
// a body and exits with its result; two pipes let both sides wait for each
// other at chosen points.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <stdexcept>

namespace canalix::testing {

class Child {
 public:
  explicit Child(const std::function<int(Child&)>& body) {
    if (pipe(toChild_) != 0 || pipe(toParent_) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      int rc = 99;
      try {
        rc = body(*this);
      } catch (...) {
        rc = 98;
      }
      _exit(rc);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (pid_ > 0) wait();
    for (int fd : {toChild_[0], toChild_[1], toParent_[0], toParent_[1]}) close(fd);
  }
  // In the child.
  void signalParent() { (void)!::write(toParent_[1], "x", 1); }
  void waitParent() {
    char c;
    (void)!::read(toChild_[0], &c, 1);
  }
  // In the test.
  void signalChild() { (void)!::write(toChild_[1], "x", 1); }
  void waitChild() {
    char c;
    (void)!::read(toParent_[0], &c, 1);
  }
  int wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int toChild_[2];
  int toParent_[2];
};

}  // namespace canalix::testing
