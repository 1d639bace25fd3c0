#include "kiln/tables/spells.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "common/exit.h"
#include "kiln/pdb/bytes.h"
#include "kiln/tables/spells_format.h"
#include "kiln/tables/table_input.h"
#include "kiln/text/tokenizer.h"
#include "kiln/text/where.h"

namespace kiln {

using namespace spells_format;


int compileSpells(const std::string& path, const char* code, Database& db) {
  TableInput in;
  openTable(in, path, "ERROR: Could not open spells.txt file");
  TokenReader& reader = in.reader;

  // The record as it will be stored: count, reserved byte, entries.
  std::vector<uint8_t> record(2, 0);
  int counter = 0;
  int count = 0;
  while (readTableLine(reader, count)) {
    auto col = [&](size_t i) -> const std::string& { return reader.token(i); };
    if (size_t(counter) >= kMaxSpells) {
      std::fprintf(stderr, "ERROR: %s line %d: a spell list holds at most %zu spells\n", path.c_str(), reader.line,
                   kMaxSpells);
      kit::fail(1);
    }
    if (count != kExpectedCount) {
      dumpTokens(reader, stderr);
      std::fprintf(stderr, "Found %d tokens, expected 44\n", count);
      printAt(path, reader.line);
    }

    record.resize(record.size() + kSpellEntrySize, 0);
    uint8_t* entry = record.data() + record.size() - kSpellEntrySize;

    const std::string& name = col(1);
    if (name.size() >= 21) {
      std::fprintf(stderr, "Warning: Name %s is being truncated\n", name.c_str());
      printAt(path, reader.line);
    }
    copyName(entry + kName, kNameWidth, name);

    int effect = findWord(kSpellEffectWords, col(2));
    if (effect < 0) {
      // Stored as heal (0), as it always was, but no longer in silence.
      std::fprintf(stderr, "WARNING: unknown spell effect <%s> stored as heal\n", col(2).c_str());
      printAt(path, reader.line);
      suggestWord(col(2), kSpellEffectWords);
    }
    entry[kEffect] = effect < 0 ? 0 : uint8_t(effect);
    entry[kEffectValue] = effectValueByte(entry[kEffect], columnNumber(col(3)));
    storeFields(entry, kPlainFields, reader);

    int verb = findWord(kSpellVerbWords, col(9));
    if (verb < 0) {
      std::fprintf(stderr, "%d Invalid verb type <%s>\n", counter, col(9).c_str());
      printAt(path, reader.line);
      suggestWord(col(9), kSpellVerbWords);
      kit::fail(1);
    }
    entry[kVerb] = uint8_t(verb);

    entry[kCombatFlags] = uint8_t((col(10) == "combat" ? kCombat : 0) | (col(11) == "no_combat" ? kNoCombat : 0));

    uint32_t mask = 0;
    for (int i = 0; i < kClassColumns; ++i) {
      const std::string& column = col(kFirstClassColumn + i);
      if (column == "-") continue;
      mask |= uint32_t(1) << i;
      entry[kClassValues + i] = uint8_t(uint32_t(columnNumber(column)) + 1u);
    }
    setBE32(entry + kClassMask, mask);
    ++counter;
  }

  record[0] = uint8_t(counter);
  addPDBEntry(db, code, record);
  return 0;
}

}  // namespace kiln
