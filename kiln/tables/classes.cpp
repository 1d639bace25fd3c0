#include "kiln/tables/classes.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "kiln/tables/table_input.h"
#include "kiln/text/where.h"

namespace kiln {

int compileClasses(const std::string& path, const char* code, Database& db) {
  TableInput in;
  // The message has always named classes.txt, whatever file was configured.
  openTable(in, path, "ERROR: Could not open classes.txt file");

  std::vector<uint8_t> table(kClassRows * kClassColumns, 0);
  long row = 0;
  int count = 0;
  while (readTableLine(in.reader, count)) {
    if (count != kClassColumns) {
      // Only a warning: the row is used as far as it goes.
      dumpTokens(in.reader, stderr);
      std::fprintf(stderr, "Found %d tokens, expected 33\n", count);
      printAt(path, in.reader.line);
    }
    if (row < kClassRows)
      for (int column = 0; column < kClassColumns; ++column)
        table[row * kClassColumns + column] = uint8_t(columnNumber(in.reader.token(column + 1)));
    ++row;
  }
  addPDBEntry(db, code, table);
  return 0;
}

}  // namespace kiln
