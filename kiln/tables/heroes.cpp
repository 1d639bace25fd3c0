#include "kiln/tables/heroes.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "common/exit.h"
#include "kiln/pdb/bytes.h"
#include "kiln/tables/heroes_format.h"
#include "kiln/tables/table_input.h"
#include "kiln/text/tokenizer.h"
#include "kiln/text/where.h"

namespace kiln {

using namespace heroes_format;

namespace {

// The position in the list is the code.
bool wordCode(std::span<const char* const> words, const std::string& word, uint8_t& code) {
  for (size_t i = 0; i < words.size(); ++i)
    if (word == words[i]) {
      code = uint8_t(i);
      return true;
    }
  return false;
}

}  // namespace

int compileHeroes(const std::string& path, const char* code, Database& db) {
  TableInput in;
  openTable(in, path, "ERROR: Could not open heroes.txt file");
  TokenReader& reader = in.reader;

  std::vector<uint8_t> record;
  int counter = 0;
  int slots = 0;
  bool elementalSeen = false;
  int count = 0;
  while (readTableLine(reader, count)) {
    auto col = [&](size_t i) -> const std::string& { return reader.token(i); };
    if (size_t(counter) >= kMaxHeroes) {
      std::fprintf(stderr, "ERROR: %s line %d: a character list holds at most %zu entries, endoflist included\n",
                   path.c_str(), reader.line, kMaxHeroes);
      kit::fail(1);
    }

    // A complete line whose last token is unquoted counts its item columns
    // plus 18; the warning shows both as the author counts them.
    int32_t items = columnNumber(col(18));
    int64_t expected = int64_t(items) + 18;
    if (count < expected) {
      dumpTokens(reader, stderr);
      std::fprintf(stderr, "Found %d tokens, expected %lld on line %s\n", count + 1, (long long)(expected + 1),
                   col(0).c_str());
      printAt(path, reader.line);
    }

    record.resize(record.size() + kHeroEntrySize, 0);
    uint8_t* entry = record.data() + record.size() - kHeroEntrySize;
    auto byte = [&](size_t column) { return uint8_t(columnNumber(col(column))); };
    auto word = [&](size_t at, size_t column) { setBE16(entry + at, uint32_t(columnNumber(col(column)))); };

    const std::string& name = col(1);
    if (name.size() >= kNameWidth) {
      std::fprintf(stderr, "Warning: Name %s is being truncated\n", name.c_str());
      printAt(path, reader.line);
    }
    copyName(entry + kName, kNameWidth, name);
    entry[kIndex] = uint8_t(counter);

    uint8_t pronoun = 0;
    if (!wordCode(kHeroPronounWords, col(3), pronoun)) {
      std::fprintf(stderr, "Error: Invalid pronoun for character %d = %s.\n", counter, col(3).c_str());
      printAt(path, reader.line);
      suggestWord(col(3), kHeroPronounWords);
    }
    entry[kPronoun] = pronoun;

    uint8_t characterClass = 0;
    if (!wordCode(kHeroClassWords, col(4), characterClass)) {
      std::fprintf(stderr, "ERROR: Invalid class <%s>\n", col(4).c_str());
      printAt(path, reader.line);
      suggestWord(col(4), kHeroClassWords);
    }
    entry[kCharacterClass] = characterClass;
    if (characterClass == kElemental) elementalSeen = true;
    if (elementalSeen && characterClass != kElemental && characterClass != kEndOfList) {
      std::fprintf(stderr, "Character %d appeared after your elementals in the list. \n", counter);
      printAt(path, reader.line);
      kit::fail(1);
    }

    storeFields(entry, kPlainFields, reader);

    uint8_t slot = kNone;
    if (!col(11).empty() && col(11)[0] == '1') slot = uint8_t(slots++);
    uint8_t inn = !col(12).empty() && col(12)[0] == '-' ? kNone : byte(12);
    entry[kSlot] = slot;
    entry[kInn] = inn;
    if (slot != kNone && inn != kNone) {
      std::fprintf(stderr, "Character %d has slot value and inn value\n", counter);
      printAt(path, reader.line);
      kit::fail(1);
    }

    // An entry has room for ten items, and a negative count would be read
    // as up to 255 by the game.
    if (items < 0 || items > kMaxHeroItems) {
      std::fprintf(stderr, "ERROR: %s line %d: character %d has an item count of %d; it must be 0 to %d\n",
                   path.c_str(), reader.line, counter, int(items), kMaxHeroItems);
      kit::fail(1);
    }
    entry[kItemCount] = uint8_t(items);
    for (int i = 0; i < items; ++i) word(kItems + kItemSlotSize * i, kFirstItemColumn + i);
    ++counter;
  }

  if (counter == 0 || record[kHeroEntrySize * (counter - 1) + kCharacterClass] != kEndOfList) {
    std::fprintf(stderr, "Last character in list must be class endoflist\n");
    printAtFile(path);
    kit::fail(1);
  }
  if (slots > kMaxSlots) {
    std::fprintf(stderr, "You cannot have more than 5 characters whose slot values are set\n");
    printAtFile(path);
    kit::fail(1);
  }
  if (slots == 0) {
    std::fprintf(stderr, "You need at least one characters with slot set to '1'\n");
    printAtFile(path);
    kit::fail(1);
  }
  addPDBEntry(db, code, record);
  return 0;
}

}  // namespace kiln
