#pragma once
// The plain numeric fields of a table entry, defined once per format and used
// by both its compiler (column -> bytes) and its decoder (bytes -> column).

#include <cstdint>
#include <string>

#include "kiln/pdb/bytes.h"
#include "kiln/pdb/record_check.h"
#include "kiln/pdb/record_info.h"
#include "kiln/tables/table_input.h"

namespace kiln {

enum class FieldKind : uint8_t {
  Byte,  // low 8 bits
  Flag,  // 1 when the column is not 0
  Word,  // low 16 bits, big-endian
  Long,  // 32 bits, big-endian, read back as signed
};

struct TableField {
  const char* name;  // as the messages and unkiln show call it
  uint8_t offset;    // in the entry
  uint8_t column;    // of the input line
  FieldKind kind;
};

inline void storeField(uint8_t* entry, const TableField& f, const std::string& token) {
  uint32_t v = uint32_t(columnNumber(token));
  switch (f.kind) {
    case FieldKind::Byte: entry[f.offset] = uint8_t(v); break;
    case FieldKind::Flag: entry[f.offset] = uint8_t(v != 0); break;
    case FieldKind::Word: setBE16(entry + f.offset, v); break;
    case FieldKind::Long: setBE32(entry + f.offset, v); break;
  }
}

inline long long fieldValue(const uint8_t* entry, const TableField& f) {
  switch (f.kind) {
    case FieldKind::Word: return readBE16(entry + f.offset);
    case FieldKind::Long: return int32_t(readBE32(entry + f.offset));
    default: return entry[f.offset];
  }
}

// The column that stores exactly these bytes; false for a flag byte other
// than 0 or 1, which no column gives.
inline bool fieldToken(const uint8_t* entry, const TableField& f, std::string& token) {
  long long v = fieldValue(entry, f);
  if (f.kind == FieldKind::Flag && v > 1) return false;
  token = std::to_string(v);
  return true;
}

template <size_t N>
void storeFields(uint8_t* entry, const TableField (&fields)[N], const TokenReader& reader) {
  for (const TableField& f : fields) storeField(entry, f, reader.token(f.column));
}

template <size_t N>
void addFields(Node& node, const uint8_t* entry, const TableField (&fields)[N]) {
  for (const TableField& f : fields) node.add(f.name, Node::num(fieldValue(entry, f)));
}

}  // namespace kiln
