// The picture edit field. Text and date fields edit a buffer of one byte
// (Windows-1252) per template position; number fields edit their integer and
// decimal digits and sign, shown through the picture as they are typed.
#include "ui/qt/edit_field.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPalette>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "output/cp1252.h"
#include "output/date_format.h"
#include "output/text_format.h"

namespace canalix::ui {

namespace {

// Set while a refusing field takes the focus back, so that the field the
// focus had moved to is not checked on the way.
bool reclaiming = false;

QString toQString(std::string_view cp1252) { return QString::fromStdString(output::utf8FromCp1252(cp1252)); }

// The Windows-1252 bytes of typed text; characters without one are dropped.
std::string typedBytes(const QString& text) {
  std::string out;
  for (QChar ch : text) {
    const std::string byte = output::cp1252FromUtf8(QString(ch).toStdString(), '\0');
    if (byte.size() == 1 && byte[0] != '\0' && static_cast<unsigned char>(byte[0]) >= 0x20) out += byte;
  }
  return out;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string withoutLeadingZeros(std::string digits) {
  const size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? std::string() : digits.substr(first);
}

}  // namespace

EditField::EditField(QWidget* parent) : QLineEdit(parent) {
  setContextMenuPolicy(Qt::NoContextMenu);  // no cut and paste past the template
  setAcceptDrops(false);
  setDragEnabled(false);
  bindText(std::string());
}

void EditField::bindText(std::string value, std::string_view picture) {
  kind_ = Kind::kText;
  text_ = std::move(value);
  width_ = text_.size();
  picture_ = std::string(picture);
  parsed_ = output::parsePicture(picture_);
  mask_ = parsed_.hasMask() ? parsed_.mask : std::string(width_, 'X');
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  rebound();
}

void EditField::bindNumber(output::Number value, std::string_view picture) {
  kind_ = Kind::kNumber;
  number_ = value;
  picture_ = std::string(picture);
  parsed_ = output::parsePicture(picture_);
  layout_ = parsed_.hasMask() ? output::numericLayout(parsed_.mask)
                              : output::NumericLayout{value.width, value.decimals};
  if (layout_.width <= 0) layout_.width = 10;
  mask_.clear();
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  rebound();
}

void EditField::bindDate(store::Date value) {
  kind_ = Kind::kDate;
  date_ = value;
  picture_ = "@D";
  parsed_ = output::parsePicture(picture_);
  mask_ = output::dateTemplate();
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  rebound();
}

// A new value: what was being typed is forgotten; a field with the focus
// starts editing the new value at once.
void EditField::rebound() {
  editing_ = resume_ = false;
  buffer_.clear();
  if (hasFocus() && editable()) {
    startEditing(true);
  } else {
    display(false);
  }
}

void EditField::setEditableWhen(Condition condition) {
  editableWhen_ = std::move(condition);
  applyEditable();
}

void EditField::refresh() {
  applyEditable();
  if (!editing_) display(false);
}

bool EditField::editable() const { return !editableWhen_ || editableWhen_(); }

void EditField::applyEditable() {
  const bool on = editable();
  setReadOnly(!on);
  setFocusPolicy(on ? Qt::StrongFocus : Qt::NoFocus);
  // A field that cannot be edited takes the colour of the window behind it.
  QPalette colours = QApplication::palette(this);
  if (!on) colours.setColor(QPalette::Base, colours.color(QPalette::Window));
  setPalette(colours);
}

QSize EditField::sizeHint() const {
  const size_t positions = kind_ == Kind::kNumber
                               ? (parsed_.hasMask() ? parsed_.mask.size() : size_t(layout_.width))
                               : mask_.size();
  QSize hint = QLineEdit::sizeHint();
  const int chars = static_cast<int>(std::max<size_t>(positions, 1)) + 1;
  const QMargins m = textMargins();
  hint.setWidth(fontMetrics().horizontalAdvance(QLatin1Char('9')) * chars + m.left() + m.right() + 12);
  return hint;
}

// --- Leaving and checking -------------------------------------------------

bool EditField::runCheck() {
  checkPending_ = false;
  if (!editable() || checking_) return true;
  if (leaveRefused()) {
    QApplication::beep();
    takeFocusBack();
    return false;
  }
  if (!check_) return true;
  checking_ = true;
  const bool ok = check_(*this);
  checking_ = false;
  if (!ok) takeFocusBack();
  return ok;
}

bool EditField::checkAll(QWidget* root) {
  QWidget* w = root;
  do {
    w = w->nextInFocusChain();
    auto* field = qobject_cast<EditField*>(w);
    if (field && root->isAncestorOf(field) && field->isVisible() && !field->runCheck()) return false;
  } while (w && w != root);
  return true;
}

// A date field refuses to be left with digits that make no date.
bool EditField::leaveRefused() const {
  if (kind_ != Kind::kDate || !date_.empty()) return false;
  return std::any_of(buffer_.begin(), buffer_.end(), isDigit);
}

void EditField::takeFocusBack() {
  if (hasFocus()) {  // refused on Enter: the value is selected, as on coming back
    selected_ = editing_;
    if (editing_) display(true);
    return;
  }
  reclaiming = true;
  resume_ = true;
  setFocus(Qt::OtherFocusReason);
  reclaiming = false;
}

void EditField::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  applyEditable();
  if (!editable() || editing_) {
    if (editing_) display(true);
    return;
  }
  // Entered by keyboard, by the window or by a refusal, the value is
  // selected; a click puts the cursor where it falls.
  startEditing(event->reason() != Qt::MouseFocusReason);
}

void EditField::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  const Qt::FocusReason r = event->reason();
  // Message boxes, menus and other windows take the focus for a while: the
  // field is still being edited.
  if (r == Qt::ActiveWindowFocusReason || r == Qt::PopupFocusReason || !editing_) return;
  editing_ = false;
  display(false);
  if (reclaiming || checking_ || (!check_ && kind_ != Kind::kDate)) return;
  // The check runs once the focus has settled: it may show a message box,
  // which must not open in the middle of the focus change.
  checkPending_ = true;
  QTimer::singleShot(0, this, [this] {
    if (checkPending_ && isVisible()) runCheck();
    checkPending_ = false;
  });
}

// --- Editing --------------------------------------------------------------

void EditField::startEditing(bool selectAll) {
  editing_ = true;
  insert_ = false;
  if (resume_) {  // back after a refusal: what was typed stays, selected
    resume_ = false;
    selected_ = true;
    display(true);
    return;
  }
  selected_ = selectAll || kind_ == Kind::kNumber;
  if (kind_ == Kind::kNumber) {
    const std::string plain = output::LTRIM(output::STR(std::fabs(number_.value), 40, layout_.decimals));
    const size_t point = plain.find('.');
    integer_ = plain[0] == '*' ? std::string() : withoutLeadingZeros(plain.substr(0, point));
    decimals_ = point == std::string::npos ? std::string() : plain.substr(point + 1);
    decimals_.erase(decimals_.find_last_not_of('0') + 1);
    negative_ = number_.value < 0 && !(integer_.empty() && decimals_.empty());
    inDecimals_ = !decimals_.empty();
  } else {
    buffer_ = kind_ == Kind::kDate ? output::DTOC(date_)
              : parsed_.hasMask()  ? output::TRANSFORM(text_, picture_)
                                   : output::PADR(text_, static_cast<int>(width_));
    cursor_ = nextEditable(0);
  }
  display(true);
}

void EditField::keyPressEvent(QKeyEvent* event) {
  if (isReadOnly()) {  // the cursor keys and copying only
    QLineEdit::keyPressEvent(event);
    return;
  }
  if (!editing_) startEditing(true);
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    // A refusal keeps Enter from reaching the dialog's default button.
    if (runCheck()) {
      event->ignore();
    } else {
      event->accept();
    }
    return;
  }
  if (event->matches(QKeySequence::Paste)) {
    for (char c : typedBytes(QApplication::clipboard()->text())) typeChar(c);
  } else if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
    if (kind_ == Kind::kNumber) {
      eraseNumber(key == Qt::Key_Delete);
    } else {
      eraseText(key == Qt::Key_Backspace);
    }
  } else if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Home || key == Qt::Key_End) {
    moveCursor(key);
  } else if (key == Qt::Key_Insert) {
    insert_ = !insert_;
  } else if (!event->text().isEmpty() && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
    const std::string typed = typedBytes(event->text());
    if (typed.empty()) {
      event->ignore();
      return;
    }
    for (char c : typed) typeChar(c);
  } else {
    event->ignore();
    return;
  }
  event->accept();
  display(true);
}

void EditField::inputMethodEvent(QInputMethodEvent* event) {
  if (!editing_ || isReadOnly()) return;
  for (char c : typedBytes(event->commitString())) typeChar(c);
  event->accept();
  display(true);
}

void EditField::mousePressEvent(QMouseEvent* event) {
  QLineEdit::mousePressEvent(event);
  if (!editing_ || kind_ == Kind::kNumber) {
    if (editing_) display(true);
    return;
  }
  selected_ = false;
  cursor_ = nextEditable(std::clamp(cursorPosition(), 0, static_cast<int>(buffer_.size())));
  display(true);
}

void EditField::typeChar(char c) {
  if (kind_ == Kind::kNumber) {
    typeNumber(c);
  } else {
    typeText(c);
  }
}

void EditField::typeText(char c) {
  if (selected_) {
    clearText();
    selected_ = false;
    cursor_ = nextEditable(0);
  }
  if (cursor_ >= static_cast<int>(buffer_.size())) return QApplication::beep();
  const char m = mask_[static_cast<size_t>(cursor_)];
  if (!output::acceptsAt(m, c)) return QApplication::beep();
  if (m == '!' || parsed_.has('!')) c = output::upperAscii(c);
  if (insert_) {
    const int last = previousEditable(static_cast<int>(buffer_.size()));
    if (buffer_[static_cast<size_t>(last)] != ' ')
      return QApplication::beep();  // the text would lose its end
    for (int to = last, from = previousEditable(last); to > cursor_;
         to = from, from = previousEditable(from)) {
      buffer_[static_cast<size_t>(to)] = buffer_[static_cast<size_t>(from)];
    }
  }
  buffer_[static_cast<size_t>(cursor_)] = c;
  cursor_ = nextEditable(cursor_ + 1);
  store();
}

void EditField::eraseText(bool before) {
  if (selected_) {
    clearText();
    selected_ = false;
    cursor_ = nextEditable(0);
    store();
    return;
  }
  if (before) {
    const int p = previousEditable(cursor_);
    if (p < 0) return;
    cursor_ = p;
  }
  if (cursor_ >= static_cast<int>(buffer_.size())) return;
  const bool freeText = std::all_of(mask_.begin(), mask_.end(), output::isTextPlaceholder);
  if (freeText) {  // the rest of the text closes up
    buffer_.erase(static_cast<size_t>(cursor_), 1);
    buffer_ += ' ';
  } else {  // templates with literals keep every character in its place
    buffer_[static_cast<size_t>(cursor_)] = ' ';
  }
  store();
}

void EditField::clearText() {
  for (size_t i = 0; i < buffer_.size(); ++i) {
    if (output::isTextPlaceholder(mask_[i])) buffer_[i] = ' ';
  }
}

void EditField::moveCursor(int key) {
  selected_ = false;
  if (kind_ == Kind::kNumber) return;
  const int size = static_cast<int>(buffer_.size());
  if (key == Qt::Key_Left) {
    const int p = previousEditable(cursor_);
    if (p >= 0) cursor_ = p;
  } else if (key == Qt::Key_Right) {
    cursor_ = nextEditable(std::min(cursor_ + 1, size));
  } else if (key == Qt::Key_Home) {
    cursor_ = nextEditable(0);
  } else {
    const size_t last = buffer_.find_last_not_of(' ');
    cursor_ = last == std::string::npos ? nextEditable(0) : nextEditable(static_cast<int>(last) + 1);
  }
}

int EditField::nextEditable(int from) const {
  for (int i = std::max(from, 0); i < static_cast<int>(mask_.size()); ++i) {
    if (output::isTextPlaceholder(mask_[static_cast<size_t>(i)])) return i;
  }
  return static_cast<int>(buffer_.size());
}

int EditField::previousEditable(int from) const {
  for (int i = std::min(from, static_cast<int>(mask_.size())) - 1; i >= 0; --i) {
    if (output::isTextPlaceholder(mask_[static_cast<size_t>(i)])) return i;
  }
  return -1;
}

int EditField::integerPositions() const {
  return layout_.decimals > 0 ? layout_.width - layout_.decimals - 1 : layout_.width;
}

void EditField::typeNumber(char c) {
  if (selected_) {
    integer_.clear();
    decimals_.clear();
    negative_ = inDecimals_ = selected_ = false;
  }
  const auto fits = [&](size_t digits, bool negative) {
    return static_cast<int>(std::max<size_t>(digits, 1)) + (negative ? 1 : 0) <= integerPositions();
  };
  if (isDigit(c) && inDecimals_) {
    if (static_cast<int>(decimals_.size()) >= layout_.decimals) return QApplication::beep();
    decimals_ += c;
  } else if (isDigit(c)) {
    const std::string digits = withoutLeadingZeros(integer_ + c);
    if (!fits(digits.size(), negative_)) return QApplication::beep();
    integer_ = digits;
  } else if (c == '.' || c == ',') {
    if (layout_.decimals <= 0) return QApplication::beep();
    inDecimals_ = true;
    decimals_.clear();
  } else if (c == '-') {
    if (!fits(integer_.size(), true)) return QApplication::beep();
    negative_ = true;
  } else {
    return QApplication::beep();
  }
  store();
}

void EditField::eraseNumber(bool all) {
  if (all || selected_) {
    integer_.clear();
    decimals_.clear();
    negative_ = inDecimals_ = selected_ = false;
  } else if (inDecimals_ && !decimals_.empty()) {
    decimals_.pop_back();
  } else if (inDecimals_) {
    inDecimals_ = false;
  } else if (!integer_.empty()) {
    integer_.pop_back();
  } else {
    negative_ = false;
  }
  store();
}

output::Number EditField::typedNumber() const {
  const std::string text = (integer_.empty() ? "0" : integer_) + "." + (decimals_.empty() ? "0" : decimals_);
  const double magnitude = output::VAL(text).value;
  return output::Number(negative_ ? -magnitude : magnitude, layout_.width, layout_.decimals);
}

// --- Values and display ---------------------------------------------------

void EditField::store() {
  switch (kind_) {
    case Kind::kNumber:
      number_ = output::Number(typedNumber().value, number_.width, number_.decimals);
      break;
    case Kind::kDate:
      date_ = output::CTOD(buffer_);
      break;
    case Kind::kText: {
      std::string value;
      const bool strip = parsed_.has('R') && parsed_.hasMask();
      for (size_t i = 0; i < buffer_.size(); ++i) {
        if (!strip || output::isTextPlaceholder(mask_[i])) value += buffer_[i];
      }
      text_ = output::PADR(value, static_cast<int>(width_));
      break;
    }
  }
  emit valueChanged();
}

std::string EditField::editingPicture() const {
  std::string functions = parsed_.functions;
  functions.erase(std::remove(functions.begin(), functions.end(), 'Z'), functions.end());
  std::string picture = functions.empty() ? std::string() : "@" + functions;
  if (parsed_.hasMask()) picture += (picture.empty() ? "" : " ") + parsed_.mask;
  return picture;
}

// Where the decimal point of a number shown by `mask` stands (one output
// character per mask character); past the last digit when there is none.
static int pointIndex(const std::string& mask) {
  bool digitSeen = false;
  int afterDigits = 0;
  for (size_t i = 0; i < mask.size(); ++i) {
    if (output::isDigitPosition(mask[i])) {
      digitSeen = true;
      afterDigits = static_cast<int>(i) + 1;
    } else if (mask[i] == '.' && digitSeen) {
      return static_cast<int>(i);
    }
  }
  return afterDigits;
}

void EditField::display(bool editing) {
  if (kind_ != Kind::kNumber) {
    if (editing) {
      setText(toQString(buffer_));
      if (selected_) {
        selectAll();
      } else {
        setCursorPosition(cursor_);
      }
    } else {
      setText(toQString(kind_ == Kind::kDate ? output::DTOC(date_) : output::TRANSFORM(text_, picture_)));
    }
    return;
  }
  if (!editing) {
    setText(toQString(output::LTRIM(output::TRANSFORM(number_, picture_))));
    return;
  }
  const output::Number typed = typedNumber();
  std::string shown = output::TRANSFORM(typed, editingPicture());
  const int point = parsed_.hasMask()      ? pointIndex(parsed_.mask)
                    : layout_.decimals > 0 ? layout_.width - layout_.decimals - 1
                                           : static_cast<int>(shown.size());
  // A sign typed before any digit shows in front of the zero.
  if (negative_ && typed.value == 0.0 && point >= 2 && shown[static_cast<size_t>(point - 2)] == ' ') {
    shown[static_cast<size_t>(point - 2)] = '-';
  }
  int cursor = inDecimals_ ? point + 1 + static_cast<int>(decimals_.size()) : point;
  const size_t lead = std::min(shown.find_first_not_of(' '), shown.size());
  shown.erase(0, lead);
  cursor = std::clamp(cursor - static_cast<int>(lead), 0, static_cast<int>(shown.size()));
  setText(toQString(shown));
  if (selected_) {
    selectAll();
  } else {
    setCursorPosition(cursor);
  }
}

}  // namespace canalix::ui
