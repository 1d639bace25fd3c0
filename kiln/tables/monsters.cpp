#include "kiln/tables/monsters.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "common/exit.h"
#include "kiln/pdb/bytes.h"
#include "kiln/tables/table_input.h"
#include "kiln/text/where.h"

namespace kiln {

namespace {

constexpr int kMonsterColumns = 25;  // the count of a line of 26 columns, the last unquoted
constexpr int kFlagColumn = 25;

// "-" (or anything beginning with it, a negative number too) means none.
bool isNone(const std::string& token) { return !token.empty() && token[0] == '-'; }

// Fills one 56-byte entry from the line's tokens.
void buildEntry(const TokenReader& r, uint8_t* e) {
  auto byteOf = [&](int column) { return uint8_t(columnNumber(r.token(column))); };
  auto wordOf = [&](int column) { return uint16_t(columnNumber(r.token(column))); };

  const std::string& name = r.token(1);
  // 23 characters still fit with their terminator, but the game shows no more.
  if (name.size() >= 23) {
    std::fprintf(stderr, "Warning: Name %s is being truncated\n", name.c_str());
    printAt(r.path, r.line);
  }
  copyName(e, kMonsterNameSize, name);

  e[34] = byteOf(2);
  e[24] = byteOf(3);
  e[32] = byteOf(4);
  e[48] = byteOf(5);
  e[49] = byteOf(6);
  if (!isNone(r.token(7))) e[47] = byteOf(7);

  int listCount = 0;
  for (int column = 8; column <= 10; ++column)
    if (!isNone(r.token(column))) e[42 + listCount++] = byteOf(column);
  e[46] = uint8_t(listCount);

  e[26] = byteOf(11);
  setBE16(e + 30, wordOf(12));
  e[33] = byteOf(13);
  e[40] = byteOf(14);
  e[41] = byteOf(15);
  e[27] = byteOf(16);  // min_group
  e[28] = byteOf(17);  // max_group
  if (e[28] < e[27]) {
    reportError("Monster min_group greater than max_group value", 0);
    printAt(r.path, r.line);
    kit::fail(1);
  }

  e[25] = byteOf(18);
  e[35] = byteOf(19);
  e[29] = byteOf(20);
  e[50] = byteOf(21);
  e[51] = byteOf(22);
  setBE16(e + 52, wordOf(23));
  setBE16(e + 54, wordOf(24));

  const std::string& flags = r.token(kFlagColumn);
  uint32_t bits = 0;
  for (size_t i = 0; i < std::min<size_t>(flags.size(), 32); ++i)
    if (flags[i] == '1') bits |= uint32_t(1) << i;
  setBE32(e + 36, bits);
}

}  // namespace

void reportError(const char* text, int exitCode) {
  std::fprintf(stderr, "Error: %s\n", text);
  if (exitCode != 0) kit::fail(exitCode);
}

int compileMonsters(RunState&, const std::string& path, const char* code, Database& db) {
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
