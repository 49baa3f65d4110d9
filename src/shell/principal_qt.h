// PRINCIPAL: the program's entry. Start-up in the data directory (the working
// directory), the main window, the event loop and the exit sequence.
#pragma once

#include "ui/qt/guarded_application.h"

namespace canalix::shell {

// Runs the whole program; returns its exit code. An error no caller handles
// is reported by the general error handler, which ends the process.
int PRINCIPAL(ui::GuardedApplication& app, int argc, char** argv);

}  // namespace canalix::shell
