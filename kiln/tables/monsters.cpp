#include "kiln/tables/monsters.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "common/exit.h"
#include "kiln/pdb/bytes.h"
#include "kiln/tables/monsters_format.h"
#include "kiln/tables/table_input.h"
#include "kiln/text/where.h"

namespace kiln {

namespace {

using namespace monsters_format;

// Fills one 56-byte entry from the line's tokens.
void buildEntry(const TokenReader& r, uint8_t* e) {
  auto byteOf = [&](int column) { return uint8_t(columnNumber(r.token(column))); };

  const std::string& name = r.token(1);
  // 23 characters still fit with their terminator, but the game shows no more.
  if (name.size() >= 23) {
    std::fprintf(stderr, "Warning: Name %s is being truncated\n", name.c_str());
    printAt(r.path, r.line);
  }
  copyName(e + kName, kMonsterNameSize, name);

  storeFields(e, kPlainFields, r);
  if (!isNone(r.token(kOptionalColumn))) e[kCol7] = byteOf(kOptionalColumn);

  int listCount = 0;
  for (int column = kFirstListColumn; column < kFirstListColumn + kListColumns; ++column)
    if (!isNone(r.token(column))) e[kListValues + listCount++] = byteOf(column);
  e[kListCount] = uint8_t(listCount);
  if (e[kMaxGroup] < e[kMinGroup]) {
    reportError("Monster min_group greater than max_group value", 0);
    printAt(r.path, r.line);
    kit::fail(1);
  }

  const std::string& flags = r.token(kFlagColumn);
  uint32_t bits = 0;
  for (size_t i = 0; i < std::min<size_t>(flags.size(), kFlagBitCount); ++i)
    if (flags[i] == '1') bits |= uint32_t(1) << i;
  setBE32(e + kFlagBits, bits);
}

}  // namespace

void reportError(const char* text, int exitCode) {
  std::fprintf(stderr, "Error: %s\n", text);
  if (exitCode != 0) kit::fail(exitCode);
}

int compileMonsters(const std::string& path, const char* code, Database& db) {
  TableInput in;
  // The message has always named monsters.txt, whatever file was configured.
  openTable(in, path, "ERROR: Could not open monsters.txt file");

  std::vector<uint8_t> record(2, 0);  // count, reserved
  int count = 0;
  int tokens = 0;
  while (readTableLine(in.reader, tokens)) {
    if (tokens != kMonsterColumns) {
      dumpTokens(in.reader, stderr);
      printAt(path, in.reader.line);
      kit::fail(1);
    }
    if (count == kMaxMonsters) {
      std::fprintf(stderr, "ERROR: %s line %d: a monster list holds at most %d monsters\n", path.c_str(),
                   in.reader.line, kMaxMonsters);
      kit::fail(1);
    }
    size_t at = record.size();
    record.resize(at + kMonsterEntrySize, 0);
    buildEntry(in.reader, record.data() + at);
    ++count;
  }
  record[0] = uint8_t(count);
  addPDBEntry(db, code, record);
  return 0;
}

}  // namespace kiln
