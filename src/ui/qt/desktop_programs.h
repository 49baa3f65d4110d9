// The desktop's own programs that the system starts by name (its calculator,
// its text editor), found on PATH from a short list of common ones.
#pragma once

#include <QString>
#include <QStringList>

#include "ui/ui_port.h"

namespace canalix::ui {

enum class DesktopProgram { kCalculator, kTextEditor };

// The candidates tried, in order.
QStringList desktopProgramCandidates(DesktopProgram program);

// The first candidate found on PATH; empty when none is installed.
QString findDesktopProgram(DesktopProgram program);

// Starts the program detached; when none is installed, or it cannot start,
// says so through the port. True when it started.
bool startDesktopProgram(UiPort& ui, DesktopProgram program);

}  // namespace canalix::ui
