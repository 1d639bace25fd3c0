#pragma once
// The monster entry: one definition for the compiler and the decoder.

#include <cstdint>
#include <string>

#include "kiln/tables/table_fields.h"

namespace kiln::monsters_format {

// Entry offsets.
enum : uint8_t {
  kName = 0, kCol3 = 24, kCol18 = 25, kCol11 = 26, kMinGroup = 27, kMaxGroup = 28, kCol20 = 29, kCol12 = 30,
  kCol4 = 32, kCol13 = 33, kCol2 = 34, kCol19 = 35, kFlagBits = 36, kCol14 = 40, kCol15 = 41, kListValues = 42,
  kListCount = 46, kCol7 = 47, kCol5 = 48, kCol6 = 49, kCol21 = 50, kCol22 = 51, kCol23 = 52, kCol24 = 54,
};

constexpr int kMonsterColumns = 25;  // the count of a line of 26 columns, the last unquoted
constexpr int kFlagColumn = 25;
constexpr int kFirstListColumn = 8, kListColumns = 3;
constexpr int kOptionalColumn = 7;  // col7: a number or "-"
constexpr int kFlagBitCount = 32;

// The plain columns, in the order they are stored (col7, the list, the
// flags and the group sizes have rules of their own).
inline constexpr TableField kPlainFields[] = {
    {"col2", kCol2, 2, FieldKind::Byte},    {"col3", kCol3, 3, FieldKind::Byte},
    {"col4", kCol4, 4, FieldKind::Byte},    {"col5", kCol5, 5, FieldKind::Byte},
    {"col6", kCol6, 6, FieldKind::Byte},    {"col11", kCol11, 11, FieldKind::Byte},
    {"col12", kCol12, 12, FieldKind::Word}, {"col13", kCol13, 13, FieldKind::Byte},
    {"col14", kCol14, 14, FieldKind::Byte}, {"col15", kCol15, 15, FieldKind::Byte},
    {"min_group", kMinGroup, 16, FieldKind::Byte}, {"max_group", kMaxGroup, 17, FieldKind::Byte},
    {"col18", kCol18, 18, FieldKind::Byte}, {"col19", kCol19, 19, FieldKind::Byte},
    {"col20", kCol20, 20, FieldKind::Byte}, {"col21", kCol21, 21, FieldKind::Byte},
    {"col22", kCol22, 22, FieldKind::Byte}, {"col23", kCol23, 23, FieldKind::Word},
    {"col24", kCol24, 24, FieldKind::Word},
};

// "-" (or anything beginning with it, a negative number too) means none.
inline bool isNone(const std::string& token) { return !token.empty() && token[0] == '-'; }

}  // namespace kiln::monsters_format
