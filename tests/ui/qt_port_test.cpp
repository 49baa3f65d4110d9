// The Qt side of the UI port, as a user meets its boxes: the real message
// boxes under the offscreen platform, answered by clicking their buttons.
#include "ui/qt/qt_port.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

namespace canalix::ui {
namespace {

struct SeenBox {
  QString title;
  QString text;
  QString defaultButton;
  QStringList buttons;
  bool plain = false;
};

// Once the box is open, records what it shows and clicks the button `click`.
void answerBoxWith(const QString& click, SeenBox& seen) {
  QTimer::singleShot(0, [click, &seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.plain = box->textFormat() == Qt::PlainText;
    if (box->defaultButton()) seen.defaultButton = box->defaultButton()->text();
    for (QAbstractButton* b : box->buttons()) {
      seen.buttons << b->text();
      if (b->text() == click) b->click();
    }
  });
}

TEST(QtPort, QuestionShowsSiAndNoWithTheAskedDefault) {
  QtPort port;
  struct Case {
    DefaultAnswer defaultAnswer;
    QString click;
    bool expected;
    QString defaultShown;
  };
  const Case cases[] = {
      {DefaultAnswer::kYes, "&No", false, QString::fromUtf8("&Sí")},
      {DefaultAnswer::kNo, QString::fromUtf8("&Sí"), true, "&No"},
  };
  for (const Case& c : cases) {
    SeenBox seen;
    answerBoxWith(c.click, seen);
    EXPECT_EQ(port.yesNo("¿ Desea salir de Canalix ?", "Salida del Sistema", c.defaultAnswer), c.expected);
    EXPECT_EQ(seen.title, "Salida del Sistema");
    EXPECT_EQ(seen.text, QString::fromUtf8("¿ Desea salir de Canalix ?"));
    EXPECT_EQ(seen.defaultButton, c.defaultShown);
    EXPECT_EQ(seen.buttons.size(), 2);
  }
}

TEST(QtPort, BoxesShowTheirTextUnchangedAsPlainText) {
  QtPort port;
  SeenBox seen;
  answerBoxWith("Aceptar", seen);
  port.info("<b>uno</b>;dos\r\ntres\ncuatro");
  EXPECT_EQ(seen.title, "Information");
  EXPECT_TRUE(seen.plain);
  EXPECT_EQ(seen.text, "<b>uno</b>;dos\ntres cuatro");
  EXPECT_EQ(seen.buttons, QStringList{"Aceptar"});

  answerBoxWith("Aceptar", seen);
  port.stop("x");
  EXPECT_EQ(seen.title, "Stop");
  answerBoxWith("Aceptar", seen);
  port.alert("x", "¡¡¡ Atención !!!");
  EXPECT_EQ(seen.title, QString::fromUtf8("¡¡¡ Atención !!!"));
}

TEST(QtPort, ALongLineIsNotWrappedByTheBox) {
  QtPort port;
  std::string line;
  for (int i = 0; i < 20; ++i) line += "palabra ";
  int labelHeight = 0, lineSpacing = 0;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    auto* label = box->findChild<QLabel*>("qt_msgbox_label");
    ASSERT_NE(label, nullptr);
    labelHeight = label->height();
    lineSpacing = label->fontMetrics().lineSpacing();
    box->buttons().at(0)->click();
  });
  port.info(line + "\r\n" + line);
  EXPECT_GT(lineSpacing, 0);
  EXPECT_LT(labelHeight, 3 * lineSpacing);  // two lines, not four or more
}

TEST(QtPort, FileFiltersMatchEitherCase) {
  EXPECT_EQ(fileDialogFilter({{"Copias", "*.zip"}, {"Todos", "*"}}), "Copias (*.zip *.ZIP);;Todos (*)");
}

TEST(QtPort, NoticesGoToTheSink) {
  QtPort port;
  QString got;
  port.setNoticeSink([&got](const QString& t) { got = t; });
  port.notice("Copia realizada");
  EXPECT_EQ(got, "Copia realizada");
}

}  // namespace
}  // namespace canalix::ui
