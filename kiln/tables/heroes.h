#pragma once

#include <cstdint>
#include <string>

#include "kiln/pdb/pdb.h"

namespace kiln {

constexpr size_t kHeroEntrySize = 108;
constexpr size_t kMaxHeroes = 256;      // the closing endoflist entry included
constexpr int kMaxHeroItems = 10;       // whole 6-byte item slots in an entry

// Keywords of a hero line; the position in the list is the code stored.
inline constexpr const char* kHeroPronounWords[] = {"him", "her", "it"};
inline constexpr const char* kHeroClassWords[] = {
    "class0",  "class1",  "class2",  "class3",  "class4",  "class5",  "class6",  "class7",  "class8",
    "class9",  "class10", "class11", "class12", "class13", "class14", "class15", "class16", "class17",
    "class18", "class19", "class20", "class21", "class22", "class23", "class24", "class25", "class26",
    "class27", "class28", "class29", "class30", "class31", "elemental", "endoflist",
};
constexpr uint8_t kElemental = 32, kEndOfList = 33;

// Compiles a character list into one record under code: a 108-byte entry per
// character, the closing endoflist entry included.
int compileHeroes(const std::string& path, const char* code, Database& db);

}  // namespace kiln
