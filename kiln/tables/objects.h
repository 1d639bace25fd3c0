#pragma once

#include <string>

#include "kiln/pdb/pdb.h"
#include "kiln/text/where.h"

namespace kiln {

constexpr size_t kObjectEntrySize = 46;
constexpr size_t kMaxObjects = 65535;  // the count is a 16-bit field

// The keywords of the object table's columns and the numbers stored for
// them. Which attribute words a column accepts differs; every list shares
// one numbering.
inline constexpr Keyword kObjectAttributeWords[] = {
    {"strength", 0},     {"dexterity", 1},   {"intelligence", 2}, {"stamina", 3},
    {"hitpoints", 4},    {"spellpoints", 5}, {"armorclass", 6},   {"resist_fire", 7},
    {"resist_magic", 8}, {"experience", 10},
};
inline constexpr Keyword kObjectBonusWords[] = {
    {"strength", 0},     {"dexterity", 1},   {"intelligence", 2}, {"stamina", 3},
    {"hitpoints", 4},    {"spellpoints", 5}, {"armorclass", 6},   {"resist_fire", 7},
    {"resist_magic", 8}, {"experience", 10}, {"light", 11},
};
inline constexpr Keyword kJewelryAttributeWords[] = {
    {"strength", 0},  {"dexterity", 1},   {"intelligence", 2}, {"stamina", 3},     {"hitpoints", 4},
    {"spellpoints", 5}, {"armorclass", 6}, {"resist_fire", 7},  {"resist_magic", 8},
};
inline constexpr Keyword kFruitAttributeWords[] = {
    {"strength", 0},     {"dexterity", 1},   {"intelligence", 2}, {"stamina", 3},
    {"hitpoints", 4},    {"spellpoints", 5}, {"armorclass", 6},   {"resist_fire", 7},
    {"resist_magic", 8}, {"experience", 10}, {"cure_poison", 12}, {"cure_insanity", 13},
};
inline constexpr Keyword kPotionAttributeWords[] = {
    {"strength", 0},     {"dexterity", 1},   {"intelligence", 2}, {"stamina", 3},
    {"hitpoints", 4},    {"spellpoints", 5}, {"armorclass", 6},   {"resist_fire", 7},
    {"resist_magic", 8}, {"experience", 10},
};
inline constexpr Keyword kProtectionWords[] = {
    {"helmet", 0x01}, {"shield", 0x02}, {"armor", 0x04}, {"gauntlet", 0x20}, {"bracers", 0x40}, {"boots", 0x80},
};
inline constexpr Keyword kJewelryWords[] = {{"ring", 0x08}, {"necklace", 0x10}};

inline constexpr uint8_t kMisc = 0x01, kJewelry = 0x02, kPotion = 0x04, kFruit = 0x08, kProtection = 0x10,
                         kSpellWeapon = 0x20, kHandWeapon = 0x40, kTorch = 0x80;
inline constexpr Keyword kObjectTypeWords[] = {
    {"Misc", kMisc},           {"Jewelry", kJewelry},         {"Potion", kPotion},         {"Fruit", kFruit},
    {"Protection", kProtection}, {"SpellWeapon", kSpellWeapon}, {"HandWeapon", kHandWeapon}, {"Torch", kTorch},
};

// Compiles an object table into one record under code: a 16-bit count and a
// 46-byte entry per object. A table without objects adds no record.
int compileObjects(const std::string& path, const char* code, Database& db);

}  // namespace kiln
