#pragma once
// The spell entry and the keywords of the spell list: one definition for the
// compiler and the decoder.

#include <cstdint>
#include <string>

#include "kiln/tables/spells.h"
#include "kiln/tables/table_fields.h"

namespace kiln::spells_format {

// The keyword tables are in spells.h, beside the compiler; the position of a
// word is its code.
inline constexpr const auto& kEffectWords = kSpellEffectWords;
inline constexpr const auto& kVerbWords = kSpellVerbWords;

constexpr uint8_t kStrength = 5, kDexterity = 6;
constexpr uint8_t kCombat = 0x01, kNoCombat = 0x02;  // combatFlags bits

// Entry offsets.
enum : uint8_t {
  kName = 0, kCombatFlags = 26, kCol8 = 27, kEffect = 28, kEffectValue = 29, kCol6 = 30, kCol7 = 31,
  kClassMask = 32, kClassValues = 36, kCol4 = 68, kCol5 = 69, kVerb = 70,
};

constexpr size_t kNameWidth = 22;
constexpr int kClassColumns = 32;
constexpr size_t kFirstClassColumn = 12;
constexpr int kExpectedCount = 44;

inline constexpr TableField kPlainFields[] = {
    {"col4", kCol4, 4, FieldKind::Byte}, {"col5", kCol5, 5, FieldKind::Byte}, {"col6", kCol6, 6, FieldKind::Byte},
    {"col7", kCol7, 7, FieldKind::Byte}, {"col8", kCol8, 8, FieldKind::Byte},
};

template <size_t N>
int findWord(const char* const (&words)[N], const std::string& word) {
  for (size_t i = 0; i < N; ++i)
    if (word == words[i]) return int(i);
  return -1;
}

// Strength and dexterity store a decrease as 0x80 plus its size.
inline uint8_t effectValueByte(uint8_t effect, int32_t value) {
  if ((effect == kStrength || effect == kDexterity) && value < 0) return uint8_t(128u - uint32_t(value));
  return uint8_t(value);
}

// The effect value column that stores this byte.
inline int effectValueColumn(uint8_t effect, uint8_t stored) {
  if ((effect == kStrength || effect == kDexterity) && stored > 0x80) return 128 - int(stored);
  return stored;
}

}  // namespace kiln::spells_format
