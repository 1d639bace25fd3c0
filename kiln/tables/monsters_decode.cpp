#include "kiln/tables/monsters_decode.h"

#include <cstring>

#include "kiln/tables/monsters.h"
#include "kiln/tables/monsters_format.h"
#include "kiln/text/token_writer.h"

namespace kiln {

using namespace monsters_format;

namespace {

bool monsterCount(const uint8_t* data, size_t length, size_t& count, std::string& error) {
  if (!hasBytes(length, 2, error)) return false;
  count = data[0];
  if (data[1] != 0) {
    error = "reserved byte after the count is not zero";
    return false;
  }
  return checkRecordLength(data, length, 2 + kMonsterEntrySize * count, error);
}

std::string monsterError(size_t n, const std::string& what) { return "monster " + std::to_string(n) + ": " + what; }

std::string flagColumn(uint32_t bits) {
  std::string column;
  for (int i = 0; i < kFlagBitCount; ++i) column += bits >> i & 1 ? '1' : '0';
  return column;
}

}  // namespace

bool describeMonsters(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                      std::string& error) {
  size_t count = 0;
  if (!monsterCount(data, length, count, error)) return false;
  Node monsters = Node::list();
  for (size_t n = 0; n < count; ++n) {
    const uint8_t* e = data + 2 + kMonsterEntrySize * n;
    Node m = Node::object().add("name", Node::str(fieldText(e + kName, kMonsterNameSize)));
    addFields(m, e, kPlainFields);
    m.add("col7", Node::num(e[kCol7]));
    Node list = Node::list();
    for (int i = 0; i < e[kListCount] && i < kListColumns; ++i) list.push(Node::num(e[kListValues + i]));
    m.add("listCount", Node::num(e[kListCount])).add("listValues", std::move(list));
    m.add("flagBits", Node::str(flagColumn(readBE32(e + kFlagBits))));
    monsters.push(std::move(m));
  }
  info.summary = code + " " + std::to_string(count) + " monsters";
  info.fields = Node::object().add("count", Node::num(long(count))).add("monsters", std::move(monsters));
  return true;
}

bool monstersSource(const uint8_t* data, size_t length, std::string& text, std::string& why) {
  size_t count = 0;
  if (!monsterCount(data, length, count, why) || !exactLength(length, 2 + kMonsterEntrySize * count, why))
    return false;
  text = "# label name col2..col6 col7 list list list col11..col15 min_group max_group col18..col24 flags\n";
  for (size_t n = 0; n < count; ++n) {
    const uint8_t* e = data + 2 + kMonsterEntrySize * n;
    uint8_t rebuilt[kMonsterEntrySize] = {};
    bool clean = true;
    std::string name = fieldText(e + kName, kMonsterNameSize, &clean);
    std::string cols[kFlagColumn + 1];
    cols[0] = "monster" + std::to_string(n);
    if (!clean || !quotedToken(name, cols[1], why)) {
      why = monsterError(n, clean ? why : "name field holds bytes after its end");
      return false;
    }
    std::memcpy(rebuilt + kName, name.data(), name.size());
    for (const TableField& f : kPlainFields) {
      fieldToken(e, f, cols[f.column]);
      storeField(rebuilt, f, cols[f.column]);
    }
    cols[kOptionalColumn] = std::to_string(e[kCol7]);
    rebuilt[kCol7] = e[kCol7];
    int listCount = e[kListCount];
    if (listCount > kListColumns || e[kMaxGroup] < e[kMinGroup]) {
      why = monsterError(n, listCount > kListColumns ? "list count above 3" : "min_group above max_group");
      return false;
    }
    for (int i = 0; i < kListColumns; ++i)
      cols[kFirstListColumn + i] = i < listCount ? std::to_string(e[kListValues + i]) : "-";
    std::memcpy(rebuilt + kListValues, e + kListValues, size_t(listCount));
    rebuilt[kListCount] = uint8_t(listCount);
    cols[kFlagColumn] = flagColumn(readBE32(e + kFlagBits));
    std::memcpy(rebuilt + kFlagBits, e + kFlagBits, 4);
    if (std::memcmp(rebuilt, e, kMonsterEntrySize) != 0) {
      why = monsterError(n, "holds bytes that no column of the list gives");
      return false;
    }
    for (size_t c = 0; c <= size_t(kFlagColumn); ++c) text += (c ? " " : "") + cols[c];
    text += "\n";
  }
  return true;
}

}  // namespace kiln
