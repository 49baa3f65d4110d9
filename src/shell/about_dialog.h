// ACERCADE: the About box, with the program title, the maker's web and
// e-mail addresses, and two ways out.
#pragma once

#include <QDialog>
#include <QString>

#include "ui/ui_port.h"

class QLabel;
class QPushButton;

namespace canalix::shell {

inline constexpr std::string_view kAboutTitle = "Acerca de.....";
inline constexpr std::string_view kMakerWeb = "https://canalix.example.org";
inline constexpr std::string_view kMakerMail = "soporte@canalix.example.org";

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  AboutDialog(ui::UiPort& ui, const QString& title, const QString& programTitle, QWidget* parent = nullptr);

  QLabel* titleLabel() const { return title_; }
  QLabel* webLabel() const { return web_; }
  QLabel* mailLabel() const { return mail_; }
  QPushButton* exitButton() const { return exit_; }
  QPushButton* homeButton() const { return home_; }

 private:
  ui::UiPort& ui_;
  QLabel* title_;
  QLabel* web_;
  QLabel* mail_;
  QPushButton* exit_;
  QPushButton* home_;
};

// Shows the About box and returns when it is closed.
void ACERCADE(ui::UiPort& ui, const QString& title, const QString& programTitle, QWidget* parent = nullptr);

}  // namespace canalix::shell
