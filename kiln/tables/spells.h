#pragma once

#include <string>

#include "kiln/pdb/pdb.h"

namespace kiln {

constexpr size_t kSpellEntrySize = 72;
constexpr size_t kMaxSpells = 255;  // the count is one byte

// Effect keywords in code order: the position is the code.
inline constexpr const char* kSpellEffectWords[] = {
    "heal",           "heal_all",         "cure",              "defend",
    "armor_all",      "strength",         "dexterity",         "summon",
    "attack",         "move_group",       "attack_group",      "confuse",
    "show_map",       "compass",          "see_traps",         "trap_zap",
    "special",        "disbelieve",       "portal",            "poison",
    "daze",           "insane",           "resist_fire",       "resist_magic",
    "mana_drain",     "levitation",       "stealth",           "saving_throw",
    "vampire_HP_1",   "two_attack",       "light",             "alchemy",
    "attack_all",     "regen_sp",         "regen_hp",          "lose_map",
    "poison_cloud",   "insanity",         "steal_equipped",    "steal_unequipped",
    "kill_icons",     "intervention",     "batch_spell",       "magic_armor",
    "steal_gold",     "state",            "cure_all",          "vampire_HP_ALL",
    "vampire_SP_1",   "vampire_SP_ALL",   "vampire_HPSP_1",    "vampire_HPSP_ALL",
    "vampire_HP_1_group", "vampire_HP_ALL_group", "vampire_SP_1_group", "vampire_SP_ALL_group",
    "vampire_HPSP_1_group", "vampire_HPSP_ALL_group",
};
static_assert(sizeof kSpellEffectWords / sizeof kSpellEffectWords[0] == 58);

inline constexpr const char* kSpellVerbWords[] = {"casts", "shoots", "throws", "hurls", "swings", "breathes"};

// Compiles a spell list into one record under code: a count byte, a reserved
// byte and a 72-byte entry per spell. An empty list still adds the record.
int compileSpells(const std::string& path, const char* code, Database& db);

}  // namespace kiln
