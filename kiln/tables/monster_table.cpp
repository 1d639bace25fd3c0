#include "kiln/tables/monster_table.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "common/exit.h"
#include "kiln/pdb/bytes.h"
#include "kiln/tables/table_input.h"
#include "kiln/text/where.h"

namespace kiln {

int compileMonsterTable(const std::string& path, const char* code, Database& db) {
  TableInput in;
  // Named monsters.txt like the monster list's message, whatever file was configured.
  openTable(in, path, "ERROR: Could not open monsters.txt file");

  std::vector<uint8_t> record(2, 0);  // count, reserved
  int count = 0;
  int tokens = 0;
  while (readTableLine(in.reader, tokens)) {
    if (tokens != 2) {
      dumpTokens(in.reader, stderr);
      std::fprintf(stderr, "Found %d tokens, expected 3\n", tokens);
      printAt(path, in.reader.line);
      kit::fail(1);
    }
    if (count == kMaxMonsterTableEntries) {
      std::fprintf(stderr, "ERROR: %s line %d: a monster table holds at most %d entries\n", path.c_str(),
                   in.reader.line, kMaxMonsterTableEntries);
      kit::fail(1);
    }
    appendBE16(record, uint16_t(columnNumber(in.reader.token(1))));
    appendBE16(record, uint16_t(columnNumber(in.reader.token(2))));
    ++count;
  }
  record[0] = uint8_t(count);
  addPDBEntry(db, code, record);
  return 0;
}

}  // namespace kiln
