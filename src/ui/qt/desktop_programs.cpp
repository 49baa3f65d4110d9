// Starting the desktop's calculator and text editor.
#include "ui/qt/desktop_programs.h"

#include <QProcess>
#include <QStandardPaths>

#include "ui/qt/qt_text.h"

namespace canalix::ui {

QStringList desktopProgramCandidates(DesktopProgram program) {
  if (program == DesktopProgram::kCalculator) {
    return {"gnome-calculator", "kcalc", "mate-calc", "galculator", "qalculate-gtk", "xcalc"};
  }
  return {"gnome-text-editor", "gedit",  "kate", "kwrite", "mousepad", "xed", "pluma",
          "featherpad",        "leafpad"};
}

QString findDesktopProgram(DesktopProgram program) {
  for (const QString& name : desktopProgramCandidates(program)) {
    const QString found = QStandardPaths::findExecutable(name);
    if (!found.isEmpty()) return found;
  }
  return {};
}

bool startDesktopProgram(UiPort& ui, DesktopProgram program) {
  const bool calculator = program == DesktopProgram::kCalculator;
  const QString found = findDesktopProgram(program);
  if (found.isEmpty()) {
    ui.alert(calculator ? "No se encuentra ninguna calculadora instalada en el sistema."
                        : "No se encuentra ningún editor de textos instalado en el sistema.",
             "¡¡¡ Atención !!!");
    return false;
  }
  if (!QProcess::startDetached(found, {})) {
    ui.alert("No ha sido posible iniciar " + fromQt(found), "¡¡¡ Atención !!!");
    return false;
  }
  return true;
}

}  // namespace canalix::ui
