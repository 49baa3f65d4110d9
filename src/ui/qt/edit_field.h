// The edit field of every screen: a line edit bound to a text, number or date
// with a picture (see output/picture.h).
//
// While not being edited it shows the value formatted by its picture. While
// edited it takes keystrokes position by position: a text position accepts
// only what its template character allows (upper-cased at "!" and under the
// ! function), literals of the template are skipped and, under R, left out of
// the value; a date takes digits in the date format; a number is typed
// digits first, "." or "," moving to the decimals and "-" making it negative,
// and refuses a digit or sign that would not fit its picture. Entering the
// field other than by a click (and coming back after a refusal) selects it,
// so the first key typed replaces the value.
//
// A check runs when the field is left (Tab, click elsewhere, Enter): when it
// refuses, the focus stays in the field. A condition decides whether the
// field is editable; a field that is not is skipped by Tab.
#pragma once

#include <QLineEdit>
#include <functional>
#include <string>
#include <string_view>

#include "output/number_format.h"
#include "output/picture.h"
#include "store/julian.h"

namespace canalix::ui {

class EditField : public QLineEdit {
  Q_OBJECT

 public:
  // Runs when the field is left, after its value is stored; false keeps the
  // focus in the field. Shows its own message (through the UI port).
  using Check = std::function<bool(EditField&)>;
  // Whether the field may be edited now.
  using Condition = std::function<bool()>;

  explicit EditField(QWidget* parent = nullptr);
  EditField(const EditField&) = delete;
  EditField& operator=(const EditField&) = delete;

  // Binds a text of Windows-1252 bytes; its length is the field's width,
  // and the value stays that long.
  void bindText(std::string value, std::string_view picture = {});
  // Binds a number; the mask gives the width and decimals typed, or the
  // number's own when the picture has no mask.
  void bindNumber(output::Number value, std::string_view picture);
  // Binds a date, typed in the date format.
  void bindDate(store::Date value);

  std::string textValue() const { return text_; }
  output::Number numberValue() const { return number_; }
  store::Date dateValue() const { return date_; }

  void setCheck(Check check) { check_ = std::move(check); }
  void setEditableWhen(Condition condition);
  // Re-reads the condition and shows the value again; call after the data
  // the condition or the value depends on has changed.
  void refresh();

  // Stores what was typed and runs the check; a refusal puts the focus back
  // in the field. Dialogs call it for each field before they accept.
  bool runCheck();
  // runCheck on every edit field under `root`, in focus order, stopping at
  // the first refusal.
  static bool checkAll(QWidget* root);

  QSize sizeHint() const override;

 signals:
  // The value changed by typing; emitted when the field stores it.
  void valueChanged();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  enum class Kind { kText, kNumber, kDate };

  bool editable() const;
  void rebound();
  void applyEditable();
  void startEditing(bool selectAll);
  void store();
  void display(bool editing);
  bool leaveRefused() const;
  void takeFocusBack();

  void typeChar(char c);
  void typeText(char c);
  void typeNumber(char c);
  void eraseText(bool before);
  void eraseNumber(bool all);
  void moveCursor(int key);
  int nextEditable(int from) const;
  int previousEditable(int from) const;
  void clearText();

  output::Number typedNumber() const;
  std::string editingPicture() const;
  int integerPositions() const;

  Kind kind_ = Kind::kText;
  std::string picture_;
  output::Picture parsed_;
  std::string text_;
  output::Number number_;
  store::Date date_;
  size_t width_ = 0;  // text fields: the length of the value

  Check check_;
  Condition editableWhen_;

  bool editing_ = false;
  bool dirty_ = false;
  bool selected_ = false;  // the next key replaces everything
  bool insert_ = false;
  bool checkPending_ = false;
  bool checking_ = false;
  bool resume_ = false;  // the next focus-in goes on with the refused text

  // Text and date editing: one byte per mask position.
  std::string mask_;
  std::string buffer_;
  int cursor_ = 0;

  // Number editing.
  output::NumericLayout layout_;
  std::string integer_;
  std::string decimals_;
  bool negative_ = false;
  bool inDecimals_ = false;
};

}  // namespace canalix::ui
