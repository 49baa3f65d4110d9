// The picture edit field as a user meets it: typed into with QTest in a real
// window, left with Tab, Enter or the mouse.
#include "ui/qt/edit_field.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <memory>
#include <vector>

#include "members/bank_codes.h"
#include "output/date_format.h"
#include "ui/scripted_port.h"

namespace canalix::ui {
namespace {

std::string shown(const EditField* f) { return f->text().toStdString(); }

// Types UTF-8 text key by key; letters beyond ASCII come as a key with its text,
// as a Spanish keyboard sends ñ.
void typeInto(QWidget* w, const char* utf8) {
  for (QChar ch : QString::fromUtf8(utf8)) {
    if (ch.unicode() < 0x80) {
      QTest::keyClick(w, static_cast<char>(ch.unicode()));
    } else {
      QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
      QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
  }
}

// A window of three edit fields and a button, active, the focus in `first`.
struct Form {
  QWidget window;
  EditField* first;
  EditField* second;
  EditField* third;
  QPushButton* button;

  Form() {
    auto* layout = new QVBoxLayout(&window);
    first = new EditField(&window);
    second = new EditField(&window);
    third = new EditField(&window);
    button = new QPushButton("Aceptar", &window);
    for (QWidget* w : std::initializer_list<QWidget*>{first, second, third, button}) layout->addWidget(w);
    second->bindText("          ");
    third->bindText("          ");
  }

  void open() {
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    first->setFocus(Qt::TabFocusReason);
  }

  void type(const char* utf8) { typeInto(first, utf8); }
  void leave() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QApplication::processEvents();
  }
};

struct TextCase {
  const char* picture;
  std::string initial;
  const char* typed;  // UTF-8, as the keyboard sends it
  std::string value;  // Windows-1252
  const char* shownAfter;
};

TEST(EditFieldText, TypingFollowsTheTemplate) {
  const std::vector<TextCase> cases = {
      {"@!", std::string(10, ' '), "ruiz", "RUIZ      ", "RUIZ      "},
      {"@!", std::string(10, ' '), "muñoz", "MU\xF1OZ     ", "MUñOZ     "},  // only a to z change
      {"@!", "GONZALEZ  ", "PEREZ", "PEREZ     ", "PEREZ     "},  // entered by Tab: typing replaces
      {"!!!", "   ", "ab1", "AB1", "AB1"},
      {"!!!", "   ", "ab12", "AB1", "AB1"},  // no position left for the 2
      {"@R 9999-9999-99-9999999999", std::string(20, ' '), "21000418450200051332", "21000418450200051332",
       "2100-0418-45-0200051332"},
      {"@R 9999-9999-99-9999999999", std::string(20, ' '), "21a00-4", "21004" + std::string(15, ' '),
       "2100-4   -  -          "},  // letters and dashes refused; the literals are skipped
      {"99999999999999999999", std::string(20, ' '), "2100 x0418", "21000418" + std::string(12, ' '),
       "21000418            "},
      {"AAA", "   ", "a1b", "ab ", "ab "},
      {"NNN", "   ", "a-1", "a1 ", "a1 "},
      {"##", "  ", "-5", "-5", "-5"},
      {"", "     ", "a-Z9ñ", "a-Z9\xF1", "a-Z9ñ"},
  };
  for (const TextCase& c : cases) {
    Form form;
    form.first->bindText(c.initial, c.picture);
    form.open();
    form.type(c.typed);
    EXPECT_EQ(form.first->textValue(), c.value) << c.picture << " " << c.typed;
    form.leave();
    EXPECT_TRUE(form.second->hasFocus());
    EXPECT_EQ(shown(form.first), c.shownAfter) << c.picture << " " << c.typed;
  }
}

TEST(EditFieldText, BackspaceDeleteInsertAndCursorKeys) {
  Form form;
  form.first->bindText("GARCIA    ", "@!");
  form.open();
  QTest::keyClick(form.first, Qt::Key_End);  // after the last letter
  QTest::keyClick(form.first, Qt::Key_Backspace);
  EXPECT_EQ(form.first->textValue(), "GARCI     ");
  QTest::keyClick(form.first, Qt::Key_Home);
  QTest::keyClick(form.first, Qt::Key_Delete);  // the rest closes up
  EXPECT_EQ(form.first->textValue(), "ARCI      ");
  QTest::keyClick(form.first, Qt::Key_Insert);
  form.type("g");
  EXPECT_EQ(form.first->textValue(), "GARCI     ");
  QTest::keyClick(form.first, Qt::Key_Insert);
  QTest::keyClick(form.first, Qt::Key_Right);
  form.type("x");  // overwrite again
  EXPECT_EQ(form.first->textValue(), "GAXCI     ");
}

TEST(EditFieldText, TemplateWithLiteralsKeepsPositions) {
  Form form;
  form.first->bindText("21000418450200051332", "@R 9999-9999-99-9999999999");
  form.open();
  EXPECT_EQ(shown(form.first), "2100-0418-45-0200051332");
  QTest::keyClick(form.first, Qt::Key_Home);
  for (int i = 0; i < 4; ++i) QTest::keyClick(form.first, Qt::Key_Right);  // over the dash to the branch
  form.type("9");
  EXPECT_EQ(form.first->textValue(), "21009418450200051332");
  QTest::keyClick(form.first, Qt::Key_Backspace);
  EXPECT_EQ(form.first->textValue(), "2100 418450200051332");
}

struct NumberCase {
  const char* picture;
  double initial;
  const char* typed;
  double value;
  const char* shownAfter;
};

TEST(EditFieldNumber, TypingRefusesWhatWouldNotFit) {
  const std::vector<NumberCase> cases = {
      {"@E 999,999.99", 0, "1234,5", 1234.5, "1.234,50"},
      {"@E 999,999.99", 77, "1234.5", 1234.5, "1.234,50"},  // entering selects: typing replaces
      {"@E 999,999.99", 0, "-1234,5", -1234.5, "-1.234,50"},
      {"999.99", 12.5, "9999", 999, "999.00"},  // a fourth integer digit does not fit
      {"999.99", 0, "99-", -99, "-99.00"},
      {"999.99", 0, "999-", 999, "999.00"},  // the sign does not fit three digits
      {"999.99", 0, "-999", -99, "-99.00"},  // nor a third digit after the sign
      {"999.99", 0, "1.234", 1.23, "1.23"},  // nor a third decimal
      {"999.99", 0, "1,5", 1.5, "1.50"},     // "," is a decimal point too
      {"999.99", 0, ".5", 0.5, "0.50"},
      {"999.99", 0, "12a+", 12, "12.00"},
      {"99", 0, "1.5", 15, "15"},  // no decimals to move to
      {"@E 99,999,999.99", 5, "-1234567,8", -1234567.8, "-1.234.567,80"},
      {"@E 99,999,999.99", 0, "12345678-", 12345678, "12.345.678,00"},
      {"@EZ 999,999.99", 5, "0", 0, ""},  // zero shows as blanks when not edited
      {"99999999", 3, "00012", 12, "12"},
  };
  for (const NumberCase& c : cases) {
    Form form;
    form.first->bindNumber(output::Number(c.initial), c.picture);
    form.open();
    form.type(c.typed);
    EXPECT_DOUBLE_EQ(form.first->numberValue().value, c.value) << c.picture << " " << c.typed;
    form.leave();
    EXPECT_EQ(shown(form.first), c.shownAfter) << c.picture << " " << c.typed;
  }
}

TEST(EditFieldNumber, ShownWhileEditedAndBackspace) {
  Form form;
  form.first->bindNumber(output::fieldNumber(1234.5, 9, 2), "@EZ 999,999.99");
  form.open();
  EXPECT_EQ(shown(form.first), "1.234,50");
  QTest::keyClick(form.first, Qt::Key_End);  // keep the value, go on at its end
  QTest::keyClick(form.first, Qt::Key_Backspace);
  EXPECT_DOUBLE_EQ(form.first->numberValue().value, 1234);
  QTest::keyClick(form.first, Qt::Key_Backspace);  // out of the decimals
  QTest::keyClick(form.first, Qt::Key_Backspace);
  EXPECT_DOUBLE_EQ(form.first->numberValue().value, 123);
  EXPECT_EQ(form.first->numberValue().width, 9);  // the field's attributes stay
  QTest::keyClick(form.first, Qt::Key_Delete);
  form.type("-");
  EXPECT_EQ(shown(form.first), "-0,00");  // the sign shows before any digit
  form.leave();
  EXPECT_EQ(shown(form.first), "");
}

struct DateCase {
  store::Date initial;
  const char* typed;
  store::Date value;
  const char* shownAfter;
};

TEST(EditFieldDate, DigitsInTheDateFormat) {
  const std::vector<DateCase> cases = {
      {{}, "09122026", store::makeDate(2026, 12, 9), "09-12-2026"},
      {{}, "09x12.2026", store::makeDate(2026, 12, 9), "09-12-2026"},  // only digits are taken
      {store::makeDate(2014, 1, 1), "05032014", store::makeDate(2014, 3, 5), "05-03-2014"},
      {{}, "010134", store::makeDate(2034, 1, 1), "01-01-2034"},  // a short year: the epoch
  };
  for (const DateCase& c : cases) {
    Form form;
    form.first->bindDate(c.initial);
    form.open();
    form.type(c.typed);
    EXPECT_EQ(form.first->dateValue(), c.value) << c.typed;
    form.leave();
    EXPECT_TRUE(form.second->hasFocus());
    EXPECT_EQ(shown(form.first), c.shownAfter) << c.typed;
  }
}

TEST(EditFieldDate, AnImpossibleDateKeepsTheFocus) {
  Form form;
  form.first->bindDate(store::makeDate(2014, 1, 1));
  form.open();
  form.type("31022014");
  form.leave();
  EXPECT_TRUE(form.first->hasFocus());
  EXPECT_EQ(shown(form.first), "31-02-2014");  // what was typed stays to be mended
  form.type("28022014");
  form.leave();
  EXPECT_TRUE(form.second->hasFocus());
  EXPECT_EQ(form.first->dateValue(), store::makeDate(2014, 2, 28));
  // Emptied completely, the field holds the empty date.
  form.first->setFocus(Qt::TabFocusReason);
  QTest::keyClick(form.first, Qt::Key_Delete);
  form.leave();
  EXPECT_TRUE(form.second->hasFocus());
  EXPECT_TRUE(form.first->dateValue().empty());
}

TEST(EditFieldDate, BindingAgainForgetsWhatWasTyped) {
  Form form;
  form.first->bindDate({});
  form.open();
  form.type("3102");
  form.first->bindDate({});  // the screen shows another record
  EXPECT_TRUE(EditField::checkAll(&form.window));
  EXPECT_EQ(shown(form.first), "  -  -    ");
  form.type("1x2");  // still typed through the template
  EXPECT_EQ(shown(form.first), "12-  -    ");
}

// A bank account field checked as the member dialog checks it.
struct AccountForm : Form {
  ScriptedPort port;
  int secondChecks = 0;

  AccountForm() {
    first->bindText(std::string(20, ' '), "@R 9999-9999-99-9999999999");
    first->setCheck([this](EditField& f) { return members::VALIDACUENTA(f.textValue(), 2, port); });
    second->setCheck([this](EditField&) {
      ++secondChecks;
      return false;
    });
  }
};

TEST(EditFieldCheck, ARefusedValueKeepsTheFocusAndShowsOneMessage) {
  AccountForm form;
  form.open();
  form.type("21000418460200051332");
  form.leave();
  EXPECT_TRUE(form.first->hasFocus());
  ASSERT_EQ(form.port.calls().size(), 1u);
  EXPECT_EQ(form.port.calls()[0].title, "¡¡¡ Atención !!!");
  EXPECT_EQ(form.port.calls()[0].text, "El número de cuenta bancaria es incorrecto");
  EXPECT_EQ(form.secondChecks, 0);  // the field the focus passed through is not checked
  QApplication::processEvents();
  EXPECT_EQ(form.port.calls().size(), 1u);

  form.type("21000418450200051332");  // back in the field, the whole value is selected
  form.leave();
  EXPECT_TRUE(form.second->hasFocus());
  EXPECT_EQ(form.port.calls().size(), 1u);
  EXPECT_EQ(form.first->textValue(), "21000418450200051332");
}

TEST(EditFieldCheck, LeavingWithTheMouseOrEnterIsCheckedToo) {
  AccountForm form;
  form.open();
  form.type("2100");
  QTest::mouseClick(form.third, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_TRUE(form.first->hasFocus());
  ASSERT_EQ(form.port.calls().size(), 1u);
  EXPECT_EQ(form.port.calls()[0].text, "El número de cuenta bancaria debe tener 20 dígitos");

  QTest::keyClick(form.first, Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_TRUE(form.first->hasFocus());
  EXPECT_EQ(form.port.calls().size(), 2u);
  EXPECT_EQ(form.secondChecks, 0);
}

TEST(EditFieldCheck, CheckAllStopsAtTheFirstRefusal) {
  AccountForm form;
  form.first->bindText("21000418450200051332", "@R 9999-9999-99-9999999999");
  form.open();
  form.button->setFocus(Qt::MouseFocusReason);
  QApplication::processEvents();
  EXPECT_FALSE(EditField::checkAll(&form.window));
  EXPECT_EQ(form.secondChecks, 1);
  EXPECT_TRUE(form.second->hasFocus());
  EXPECT_TRUE(form.port.calls().empty());
}

// A dialog with one checked field and a default button, as screens build them.
struct AccountDialog {
  QDialog dialog;
  EditField* field;
  ScriptedPort port;

  AccountDialog() {
    auto* layout = new QVBoxLayout(&dialog);
    field = new EditField(&dialog);
    auto* ok = new QPushButton("Aceptar", &dialog);
    ok->setDefault(true);
    layout->addWidget(field);
    layout->addWidget(ok);
    field->bindText(std::string(20, ' '), "99999999999999999999");
    field->setCheck([this](EditField& f) { return members::VALIDACUENTA(f.textValue(), 2, port); });
    QObject::connect(ok, &QPushButton::clicked, &dialog, [this] {
      if (EditField::checkAll(&dialog)) dialog.accept();
    });
    dialog.show();
    dialog.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
    field->setFocus(Qt::TabFocusReason);
  }
};

TEST(EditFieldDialog, EnterReachesTheDefaultButtonOnlyWhenAccepted) {
  AccountDialog d;
  typeInto(d.field, "21000418460200051332");
  QTest::keyClick(d.field, Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_TRUE(d.dialog.isVisible());
  EXPECT_EQ(d.port.calls().size(), 1u);
  typeInto(d.field, "21000418450200051332");
  QTest::keyClick(d.field, Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_EQ(d.dialog.result(), QDialog::Accepted);
  EXPECT_EQ(d.port.calls().size(), 1u);
}

TEST(EditFieldDialog, EscapeClosesWithoutChecking) {
  AccountDialog d;
  typeInto(d.field, "123");
  QTest::keyClick(d.field, Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_EQ(d.dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(d.dialog.isVisible());
  EXPECT_TRUE(d.port.calls().empty());
}

TEST(EditFieldCondition, ANonEditableFieldIsSkipped) {
  Form form;
  bool editable = false;
  form.first->bindText("     ", "@!");
  form.second->setEditableWhen([&] { return editable; });
  form.open();
  form.leave();
  EXPECT_TRUE(form.third->hasFocus());
  EXPECT_TRUE(form.second->isReadOnly());
  form.second->setFocus(Qt::OtherFocusReason);
  QTest::keyClicks(form.second, "abc");
  EXPECT_EQ(form.second->textValue(), std::string(10, ' '));

  editable = true;
  form.second->refresh();
  form.first->setFocus(Qt::TabFocusReason);
  form.leave();
  EXPECT_TRUE(form.second->hasFocus());
  QTest::keyClicks(form.second, "abc");
  EXPECT_EQ(form.second->textValue(), "abc       ");
}

TEST(EditFieldSignals, ValueChangedOnTyping) {
  Form form;
  form.first->bindNumber(output::Number(0), "999");
  int changes = 0;
  QObject::connect(form.first, &EditField::valueChanged, [&] { ++changes; });
  form.open();
  form.type("12");
  EXPECT_EQ(changes, 2);
  form.leave();
  EXPECT_EQ(changes, 2);  // leaving without typing changes nothing
}

}  // namespace
}  // namespace canalix::ui
