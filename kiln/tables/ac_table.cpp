#include "kiln/tables/ac_table.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "common/exit.h"
#include "kiln/tables/table_input.h"
#include "kiln/text/where.h"

namespace kiln {

int compileAcTable(TablesState& tables, const std::string& path, const char* code, Database& db) {
  TableInput in;
  openTable(in, path, "ERROR: Could not open " + path + " file");

  // Worked on a copy so that a table which fails leaves the run's rows as
  // they were.
  std::vector<std::vector<uint8_t>> rows = tables.acRows;
  int count = 0;
  while (readTableLine(in.reader, count)) {
    if (count != kAcColumns) {
      // Only a warning: the row is used as far as it goes.
      dumpTokens(in.reader, stderr);
      std::fprintf(stderr, "Found %d tokens, expected 33\n", count);
      printAt(path, in.reader.line);
    }
    if (rows.size() == size_t(kMaxAcRows)) {
      std::fprintf(stderr, "ERROR: %s line %d: the AC tables of a build hold at most %d rows\n", path.c_str(),
                   in.reader.line, kMaxAcRows);
      kit::fail(1);
    }
    std::vector<uint8_t> row(kAcColumns);
    for (int column = 0; column < kAcColumns; ++column)
      row[column] = uint8_t(columnNumber(in.reader.token(column + 1)));
    rows.push_back(std::move(row));
  }

  std::vector<uint8_t> record;
  record.reserve(2 + kAcColumns * rows.size());
  record.push_back(uint8_t(rows.size()));
  record.push_back(0);
  for (const auto& row : rows) record.insert(record.end(), row.begin(), row.end());
  addPDBEntry(db, code, record);
  tables.acRows = std::move(rows);
  return 0;
}

}  // namespace kiln
