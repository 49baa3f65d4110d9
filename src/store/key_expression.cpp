// The evaluator of key and FOR expressions. The stored text is parsed once into
// a tree whose every node knows its type and, for text, the exact length of
// every value it yields, so the key length of a tag follows from the text and
// the table's structure alone. Grammar, loosest binding first:
//
//   or      := and { ".OR." and }
//   and     := not { ".AND." not }
//   not     := ( "!" | ".NOT." ) not | sum
//   sum     := unary { ( "+" | "-" ) unary }
//   unary   := ( "-" | "+" ) unary | primary
//   primary := number | "text" | 'text' | .T. | .F. | "(" or ")"
//            | name "(" [ or { "," or } ] ")"          a function call
//            | [ alias "->" ] field                      a field reference
//
// Names and words are compared without regard to case. "+" joins texts, adds
// numbers, and moves a date by a number of days; "-" subtracts numbers, moves
// a date back, or gives the days between two dates.
//
// Numbers carry a display width and decimals for STR without a width: a field
// its declared ones, anything computed 10 integer positions plus the point and
// the decimals it carries (the most of its operands; a literal those it is
// written with). Widths, decimals and SUBSTR positions must be constant, since
// they decide the key length.
#include "store/key_expression.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "store/names.h"
#include "store/table_file.h"

namespace canalix::store {

struct KeyExpression::Node {
  enum class Kind {
    kConstant,
    kField,
    kDeleted,
    kConcat,
    kAdd,
    kSub,
    kNegate,
    kNot,
    kAnd,
    kOr,
    kStr,
    kDtos,
    kSubstr,
    kUpper
  };
  Kind kind = Kind::kConstant;
  char type = 'C';
  int length = 0;        // C: the length of every value
  int width = 10;        // N: width when rendered without one; kStr: the width used
  int decimals = 0;      // N: decimals when rendered without them; kStr: the decimals used
  int offset = 0;        // kSubstr: first byte taken, 0-based
  bool constant = true;  // no field or record state below: the value is known when parsed
  Value value;           // kConstant
  std::string alias;     // kField: the other area's alias; empty for the area itself
  std::string field;     // kField
  std::vector<std::unique_ptr<Node>> args;
};

namespace {

using Node = KeyExpression::Node;
using Kind = Node::Kind;
using NodePtr = std::unique_ptr<Node>;

constexpr int kComputedWidth = 10;  // integer positions of a computed number
constexpr int kMaxStrWidth = 255;

bool isNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int computedWidth(int decimals) { return kComputedWidth + (decimals > 0 ? decimals + 1 : 0); }

NodePtr makeNode(Kind kind, char type) {
  auto n = std::make_unique<Node>();
  n->kind = kind;
  n->type = type;
  return n;
}

NodePtr constantNode(Value v, char type) {
  NodePtr n = makeNode(Kind::kConstant, type);
  n->value = std::move(v);
  return n;
}

// A node over `args`, constant when they all are.
NodePtr combine(Kind kind, char type, std::vector<NodePtr> args) {
  NodePtr n = makeNode(kind, type);
  n->args = std::move(args);
  for (const NodePtr& a : n->args) n->constant = n->constant && a->constant;
  return n;
}

std::string dtos(Date d) {
  if (d.empty()) return std::string(8, ' ');
  int y = 0, m = 0, day = 0;
  ymdFromJulian(d.julian, y, m, day);
  if (y < 0 || y > 9999) return std::string(8, ' ');
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, day);
  return buf;
}

Date shifted(Date d, double days) {
  if (d.empty()) return d;
  return Date{int32_t(d.julian + std::llround(std::trunc(days)))};
}

Value eval(const Node& n, WorkArea& self);

std::string text(const Node& n, WorkArea& self) { return std::get<std::string>(eval(n, self)); }
double number(const Node& n, WorkArea& self) { return std::get<double>(eval(n, self)); }
Date date(const Node& n, WorkArea& self) { return std::get<Date>(eval(n, self)); }
bool logical(const Node& n, WorkArea& self) { return std::get<bool>(eval(n, self)); }

Value evalAdd(const Node& n, WorkArea& self) {
  const Node& a = *n.args[0];
  const Node& b = *n.args[1];
  if (a.type == 'D') return shifted(date(a, self), number(b, self));
  if (b.type == 'D') return shifted(date(b, self), number(a, self));
  return number(a, self) + number(b, self);
}

Value evalSub(const Node& n, WorkArea& self) {
  const Node& a = *n.args[0];
  const Node& b = *n.args[1];
  if (a.type != 'D') return number(a, self) - number(b, self);
  if (b.type != 'D') return shifted(date(a, self), -number(b, self));
  return double(date(a, self).julian - date(b, self).julian);
}

Value evalStr(const Node& n, WorkArea& self) {
  std::string out;
  if (!encodeNumber(number(*n.args[0], self), n.width, n.decimals, out))
    return std::string(size_t(n.width), '*');
  return out;
}

Value evalSubstr(const Node& n, WorkArea& self) {
  const std::string s = text(*n.args[0], self);
  if (size_t(n.offset) >= s.size()) return std::string();
  return s.substr(size_t(n.offset), size_t(n.length));
}

Value eval(const Node& n, WorkArea& self) {
  switch (n.kind) {
    case Kind::kConstant:
      return n.value;
    case Kind::kField:
      return (n.alias.empty() ? self : self.workspace().area(n.alias)).get(n.field);
    case Kind::kDeleted:
      return self.DELETED();
    case Kind::kConcat:
      return text(*n.args[0], self) + text(*n.args[1], self);
    case Kind::kAdd:
      return evalAdd(n, self);
    case Kind::kSub:
      return evalSub(n, self);
    case Kind::kNegate:
      return -number(*n.args[0], self);
    case Kind::kNot:
      return !logical(*n.args[0], self);
    case Kind::kAnd:
      return logical(*n.args[0], self) && logical(*n.args[1], self);
    case Kind::kOr:
      return logical(*n.args[0], self) || logical(*n.args[1], self);
    case Kind::kStr:
      return evalStr(n, self);
    case Kind::kDtos:
      return dtos(date(*n.args[0], self));
    case Kind::kSubstr:
      return evalSubstr(n, self);
    case Kind::kUpper:
      return upperAscii(text(*n.args[0], self));
  }
  return {};
}

// Recursive descent over the text, building typed nodes; every fault throws
// the corruption error naming the text, as a bad tag of an index file does.
class Parser {
 public:
  Parser(const std::string& text, WorkArea& area) : text_(text), area_(area) {}

  NodePtr parse() {
    NodePtr root = parseOr();
    skipBlanks();
    if (pos_ < text_.size())
      fail("símbolo inesperado \"" + text_.substr(pos_, 1) + "\" en la posición " + std::to_string(pos_ + 1));
    return root;
  }

 private:
  [[noreturn]] void fail(const std::string& why) const {
    throw EngineError(err::kCorrupt, err::kCorruptSub, "expresión de clave", area_.path().string(),
                      "\"" + text_ + "\": " + why);
  }

  void skipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }
  bool atEnd() {
    skipBlanks();
    return pos_ >= text_.size();
  }
  bool accept(const std::string& token) {
    skipBlanks();
    if (text_.compare(pos_, token.size(), token) != 0) return false;
    pos_ += token.size();
    return true;
  }
  void expect(const std::string& token) {
    if (!accept(token)) fail("falta \"" + token + "\"");
  }
  // A dotted word such as .AND. or .T. at the cursor, upper-cased without its dots; empty when none.
  std::string peekDotWord() {
    skipBlanks();
    if (pos_ >= text_.size() || text_[pos_] != '.') return {};
    size_t end = pos_ + 1;
    while (end < text_.size() && isNameStart(text_[end])) ++end;
    if (end == pos_ + 1 || end >= text_.size() || text_[end] != '.') return {};
    return upperAscii(text_.substr(pos_ + 1, end - pos_ - 1));
  }
  bool acceptDotWord(const std::string& word) {
    if (peekDotWord() != word) return false;
    pos_ += word.size() + 2;
    return true;
  }
  std::string name() {
    skipBlanks();
    const size_t start = pos_;
    while (pos_ < text_.size() && isNameChar(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  void require(const Node& n, char type, const std::string& where) const {
    if (n.type != type) fail("tipo incorrecto en " + where);
  }

  NodePtr logicalPair(Kind kind, NodePtr a, NodePtr b, const std::string& op) {
    require(*a, 'L', op);
    require(*b, 'L', op);
    std::vector<NodePtr> args;
    args.push_back(std::move(a));
    args.push_back(std::move(b));
    return combine(kind, 'L', std::move(args));
  }

  NodePtr parseOr() {
    NodePtr left = parseAnd();
    while (acceptDotWord("OR")) left = logicalPair(Kind::kOr, std::move(left), parseAnd(), "\".OR.\"");
    return left;
  }
  NodePtr parseAnd() {
    NodePtr left = parseNot();
    while (acceptDotWord("AND")) left = logicalPair(Kind::kAnd, std::move(left), parseNot(), "\".AND.\"");
    return left;
  }
  NodePtr parseNot() {
    if (accept("!") || acceptDotWord("NOT")) {
      NodePtr operand = parseNot();
      require(*operand, 'L', "\"!\"");
      std::vector<NodePtr> args;
      args.push_back(std::move(operand));
      return combine(Kind::kNot, 'L', std::move(args));
    }
    return parseSum();
  }

  NodePtr parseSum() {
    NodePtr left = parseUnary();
    for (;;) {
      if (accept("+"))
        left = plus(std::move(left), parseUnary());
      else if (accept("-"))
        left = minus(std::move(left), parseUnary());
      else
        return left;
    }
  }

  static NodePtr arithmetic(Kind kind, char type, NodePtr a, NodePtr b) {
    const int decimals = std::max(a->type == 'N' ? a->decimals : 0, b->type == 'N' ? b->decimals : 0);
    std::vector<NodePtr> args;
    args.push_back(std::move(a));
    args.push_back(std::move(b));
    NodePtr n = combine(kind, type, std::move(args));
    n->decimals = decimals;
    n->width = computedWidth(decimals);
    return n;
  }

  NodePtr plus(NodePtr a, NodePtr b) {
    const char ta = a->type, tb = b->type;
    if (ta == 'C' && tb == 'C') {
      const int length = a->length + b->length;
      std::vector<NodePtr> args;
      args.push_back(std::move(a));
      args.push_back(std::move(b));
      NodePtr n = combine(Kind::kConcat, 'C', std::move(args));
      n->length = length;
      return n;
    }
    if (ta == 'N' && tb == 'N') return arithmetic(Kind::kAdd, 'N', std::move(a), std::move(b));
    if ((ta == 'D' && tb == 'N') || (ta == 'N' && tb == 'D'))
      return arithmetic(Kind::kAdd, 'D', std::move(a), std::move(b));
    fail("tipos incompatibles en \"+\"");
  }

  NodePtr minus(NodePtr a, NodePtr b) {
    const char ta = a->type, tb = b->type;
    if (ta == 'N' && tb == 'N') return arithmetic(Kind::kSub, 'N', std::move(a), std::move(b));
    if (ta == 'D' && tb == 'N') return arithmetic(Kind::kSub, 'D', std::move(a), std::move(b));
    if (ta == 'D' && tb == 'D') return arithmetic(Kind::kSub, 'N', std::move(a), std::move(b));
    fail("tipos incompatibles en \"-\"");
  }

  NodePtr parseUnary() {
    if (accept("+")) {
      NodePtr operand = parseUnary();
      require(*operand, 'N', "\"+\"");
      return operand;
    }
    if (!accept("-")) return parsePrimary();
    NodePtr operand = parseUnary();
    require(*operand, 'N', "\"-\"");
    const int decimals = operand->decimals;
    std::vector<NodePtr> args;
    args.push_back(std::move(operand));
    NodePtr n = combine(Kind::kNegate, 'N', std::move(args));
    n->decimals = decimals;
    n->width = computedWidth(decimals);
    return n;
  }

  NodePtr parsePrimary() {
    if (atEnd()) fail("la expresión termina antes de tiempo");
    const char c = text_[pos_];
    if (accept("(")) {
      NodePtr inner = parseOr();
      expect(")");
      return inner;
    }
    if (c == '"' || c == '\'') return stringLiteral(c);
    if (isDigit(c) || (c == '.' && pos_ + 1 < text_.size() && isDigit(text_[pos_ + 1])))
      return numberLiteral();
    const std::string word = peekDotWord();
    if (word == "T" || word == "Y" || word == "F" || word == "N") {
      pos_ += 3;
      return constantNode(word == "T" || word == "Y", 'L');
    }
    if (isNameStart(c)) return nameOrCall();
    fail("símbolo inesperado \"" + std::string(1, c) + "\" en la posición " + std::to_string(pos_ + 1));
  }

  NodePtr stringLiteral(char quote) {
    const size_t close = text_.find(quote, pos_ + 1);
    if (close == std::string::npos) fail("texto sin cerrar");
    std::string s = text_.substr(pos_ + 1, close - pos_ - 1);
    pos_ = close + 1;
    const int length = int(s.size());
    NodePtr n = constantNode(std::move(s), 'C');
    n->length = length;
    return n;
  }

  NodePtr numberLiteral() {
    const size_t start = pos_;
    while (pos_ < text_.size() && isDigit(text_[pos_])) ++pos_;
    int decimals = 0;
    if (pos_ + 1 < text_.size() && text_[pos_] == '.' && isDigit(text_[pos_ + 1])) {
      ++pos_;
      for (; pos_ < text_.size() && isDigit(text_[pos_]); ++pos_) ++decimals;
    }
    double v = 0;
    const auto r = std::from_chars(text_.data() + start, text_.data() + pos_, v);
    if (r.ec != std::errc() || r.ptr != text_.data() + pos_) fail("número mal escrito");
    NodePtr n = constantNode(v, 'N');
    n->decimals = decimals;
    n->width = computedWidth(decimals);
    return n;
  }

  NodePtr nameOrCall() {
    const std::string first = name();
    if (accept("->")) {
      const std::string field = name();
      if (field.empty()) fail("falta el campo tras \"" + first + "->\"");
      return fieldNode(first, field);
    }
    if (accept("(")) return call(upperAscii(first));
    return fieldNode({}, first);
  }

  bool meansSelf(const std::string& alias) const {
    const std::string a = upperAscii(alias);
    return a.empty() || a == "FIELD" || a == upperAscii(area_.alias()) || a == upperAscii(area_.path().stem().string());
  }

  NodePtr fieldNode(const std::string& alias, const std::string& field) {
    const bool self = meansSelf(alias);
    WorkArea* owner = self ? &area_ : area_.workspace().find(alias);
    if (!owner) fail("no hay ningún área abierta con el alias \"" + alias + "\"");
    const int index = owner->fieldIndex(field);
    if (index < 0) fail("campo inexistente \"" + (alias.empty() ? field : alias + "->" + field) + "\"");
    const FieldSpec& declared = owner->structure()[size_t(index)];
    NodePtr n = makeNode(Kind::kField, declared.type);
    n->constant = false;
    n->alias = self ? std::string() : owner->alias();
    n->field = declared.name;
    n->length = declared.type == 'C' ? declared.width : 0;
    n->width = declared.width;
    n->decimals = declared.decimals;
    return n;
  }

  std::vector<NodePtr> arguments() {
    std::vector<NodePtr> args;
    if (accept(")")) return args;
    do args.push_back(parseOr());
    while (accept(","));
    expect(")");
    return args;
  }

  void arity(const std::string& fn, const std::vector<NodePtr>& args, size_t least, size_t most) const {
    if (args.size() < least || args.size() > most) fail("número de argumentos incorrecto en " + fn + "()");
  }

  // The value of a constant numeric argument, truncated toward zero.
  int constantInt(const std::string& fn, const Node& arg) {
    require(arg, 'N', fn + "()");
    if (!arg.constant) fail("el argumento de " + fn + "() que fija la longitud debe ser constante");
    const double v = std::trunc(std::get<double>(eval(arg, area_)));
    return int(std::clamp(v, -1e6, 1e6));
  }

  NodePtr call(const std::string& fn) {
    std::vector<NodePtr> args = arguments();
    if (fn == "DELETED") {
      arity(fn, args, 0, 0);
      NodePtr n = makeNode(Kind::kDeleted, 'L');
      n->constant = false;
      return n;
    }
    if (fn == "STR") return str(std::move(args));
    if (fn == "DTOS") {
      arity(fn, args, 1, 1);
      require(*args[0], 'D', "DTOS()");
      NodePtr n = combine(Kind::kDtos, 'C', std::move(args));
      n->length = 8;
      return n;
    }
    if (fn == "SUBSTR") return substr(std::move(args));
    if (fn == "UPPER") {
      arity(fn, args, 1, 1);
      require(*args[0], 'C', "UPPER()");
      const int length = args[0]->length;
      NodePtr n = combine(Kind::kUpper, 'C', std::move(args));
      n->length = length;
      return n;
    }
    fail("función desconocida " + fn + "()");
  }

  // STR(n): n's own width and decimals; STR(n, w): no decimals; STR(n, w, d).
  NodePtr str(std::vector<NodePtr> args) {
    arity("STR", args, 1, 3);
    require(*args[0], 'N', "STR()");
    int width = args[0]->width;
    int decimals = args[0]->decimals;
    if (args.size() >= 2) {
      width = constantInt("STR", *args[1]);
      decimals = args.size() == 3 ? constantInt("STR", *args[2]) : 0;
    }
    if (width <= 0) width = kComputedWidth;
    if (width > kMaxStrWidth) fail("anchura excesiva en STR()");
    decimals = std::max(decimals, 0);
    args.resize(1);
    NodePtr n = combine(Kind::kStr, 'C', std::move(args));
    n->width = width;
    n->decimals = decimals;
    n->length = width;
    return n;
  }

  // SUBSTR(s, start[, count]): start counts from 1; 0 means 1 and a negative
  // start counts back from the end; a start beyond the end gives "".
  NodePtr substr(std::vector<NodePtr> args) {
    arity("SUBSTR", args, 2, 3);
    require(*args[0], 'C', "SUBSTR()");
    const int length = args[0]->length;
    const int start = constantInt("SUBSTR", *args[1]);
    int offset = start > 0 ? start - 1 : start == 0 ? 0 : std::max(0, length + start);
    offset = std::min(offset, length);
    int count = length - offset;
    if (args.size() == 3) count = std::clamp(constantInt("SUBSTR", *args[2]), 0, count);
    args.resize(1);
    NodePtr n = combine(Kind::kSubstr, 'C', std::move(args));
    n->offset = offset;
    n->length = count;
    return n;
  }

  const std::string& text_;
  WorkArea& area_;
  size_t pos_ = 0;
};

KeyType keyTypeOf(const Node& root) {
  switch (root.type) {
    case 'C':
      return {'C', root.length};
    case 'L':
      return {'L', 1};
    default:
      return {root.type, 8};
  }
}

}  // namespace

KeyExpression::KeyExpression(const std::string& text, WorkArea& area) : text_(text) {
  root_ = Parser(text_, area).parse();
  type_ = keyTypeOf(*root_);
}

KeyExpression::~KeyExpression() = default;
KeyExpression::KeyExpression(KeyExpression&&) noexcept = default;
KeyExpression& KeyExpression::operator=(KeyExpression&&) noexcept = default;

Value KeyExpression::evaluate(WorkArea& area) const {
  Value v = eval(*root_, area);
  // Keys are fixed-width: a text always comes out at the length the tag was built with.
  if (auto* s = std::get_if<std::string>(&v)) s->resize(size_t(type_.length), ' ');
  return v;
}

}  // namespace canalix::store
