// Key and FOR expressions of the index tags, parsed from their stored text
// ("SOCIOS->Localidad+SOCIOS->DOMICILIO", "str(PARCELAS->Superficie,7,2)",
// "DTOS(ACCESOS->Fecha)", "SUBSTR(GASTOS->AnNum,5,4)+...", "!DELETED()") and
// evaluated on the current record of a work area. Nothing is hard-wired per
// tag: the text is the whole definition.
#pragma once

#include <memory>
#include <string>

#include "store/table_engine.h"

namespace canalix::store {

// What an expression yields, fixed by its text and the table's structure.
struct KeyType {
  char type = 'C';  // 'C', 'N', 'D' or 'L'
  int length = 0;   // key bytes: C the text's length; N and D 8; L 1
};

class KeyExpression {
 public:
  // Parses `text` against the structure of `area` (field references, with or
  // without an alias, name fields of that table; an alias that is neither the
  // area's alias nor its file's stem names another open area of `area`'s
  // workspace). Throws EngineError 32/1012 naming `text` when it cannot be
  // parsed, names an unknown field or alias, mixes types ("Nombre+3"), or
  // gives STR or SUBSTR a width or position that is not a constant.
  KeyExpression(const std::string& text, WorkArea& area);
  ~KeyExpression();
  KeyExpression(KeyExpression&&) noexcept;
  KeyExpression& operator=(KeyExpression&&) noexcept;

  const std::string& text() const { return text_; }
  KeyType type() const { return type_; }
  // The value on `area`'s current record; a text has exactly type().length
  // bytes. Fields of another alias are read from that area's current record.
  Value evaluate(WorkArea& area) const;

  struct Node;

 private:
  std::string text_;
  KeyType type_;
  std::unique_ptr<Node> root_;
};

}  // namespace canalix::store
