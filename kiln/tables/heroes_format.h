#pragma once
// The character entry and the keywords of the character list: one definition
// for the compiler and the decoder.

#include <cstdint>
#include <iterator>
#include <string>

#include "kiln/tables/heroes.h"
#include "kiln/tables/table_fields.h"

namespace kiln::heroes_format {

// Entry offsets.
enum : uint8_t {
  kCol17 = 0, kName = 4, kCol13 = 14, kCol15 = 16, kCol14 = 18, kCol16 = 20, kCol5 = 22, kCol5Again = 24,
  kCol6 = 26, kCol6Again = 28, kCol8 = 30, kCol9 = 32, kCol7 = 34, kCol10 = 35, kCharacterClass = 36,
  kItemCount = 37, kItems = 38, kPronoun = 103, kCol2 = 104, kSlot = 105, kInn = 106, kIndex = 107,
};

constexpr size_t kNameWidth = 10;
constexpr size_t kItemSlotSize = 6;
constexpr size_t kFirstItemColumn = 19;
constexpr uint8_t kNone = 0xFF;  // no slot, no inn
constexpr int kMaxSlots = 5;

// The keyword tables are in heroes.h, beside the compiler; the position of a
// word is its code.
inline constexpr const auto& kPronounWords = kHeroPronounWords;

// The plain columns, in the order they are stored.
inline constexpr TableField kPlainFields[] = {
    {"col2", kCol2, 2, FieldKind::Byte},      {"col5", kCol5, 5, FieldKind::Word},
    {"col5Again", kCol5Again, 5, FieldKind::Word}, {"col6", kCol6, 6, FieldKind::Word},
    {"col6Again", kCol6Again, 6, FieldKind::Word}, {"col7", kCol7, 7, FieldKind::Byte},
    {"col8", kCol8, 8, FieldKind::Word},      {"col9", kCol9, 9, FieldKind::Word},
    {"col10", kCol10, 10, FieldKind::Byte},   {"col13", kCol13, 13, FieldKind::Word},
    {"col14", kCol14, 14, FieldKind::Word},   {"col15", kCol15, 15, FieldKind::Word},
    {"col16", kCol16, 16, FieldKind::Word},   {"col17", kCol17, 17, FieldKind::Long},
};

// class0 .. class31, elemental, endoflist; empty for a code without a word.
inline std::string classWord(uint8_t code) {
  return code < std::size(kHeroClassWords) ? kHeroClassWords[code] : "";
}

}  // namespace kiln::heroes_format
