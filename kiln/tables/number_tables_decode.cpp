#include "kiln/tables/number_tables_decode.h"

#include <algorithm>
#include <cstring>

#include "kiln/pdb/record_check.h"
#include "kiln/tables/ac_table.h"
#include "kiln/tables/classes.h"
#include "kiln/tables/monster_table.h"

namespace kiln {

namespace {

constexpr size_t kMonsterTableEntry = 4;  // two 16-bit values

// A count byte and a zero byte before count rows of width bytes.
bool countedRows(const uint8_t* data, size_t length, size_t width, size_t& count, std::string& error) {
  if (!hasBytes(length, 2, error)) return false;
  count = data[0];
  if (data[1] != 0) {
    error = "reserved byte after the count is not zero";
    return false;
  }
  return checkRecordLength(data, length, 2 + width * count, error);
}

Node byteRows(const uint8_t* rows, size_t count, size_t width) {
  Node list = Node::list();
  for (size_t r = 0; r < count; ++r) {
    Node row = Node::list();
    for (size_t c = 0; c < width; ++c) row.push(Node::num(rows[r * width + c]));
    list.push(std::move(row));
  }
  return list;
}

// Lines of a label and the row's numbers.
void rowLines(const uint8_t* rows, size_t count, size_t width, size_t firstLabel, std::string& text) {
  for (size_t r = 0; r < count; ++r) {
    text += "row" + std::to_string(firstLabel + r);
    for (size_t c = 0; c < width; ++c) text += " " + std::to_string(rows[r * width + c]);
    text += "\n";
  }
}

}  // namespace

bool describeClasses(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                     std::string& error) {
  const size_t size = size_t(kClassRows) * kClassColumns;
  if (!checkRecordLength(data, length, size, error)) return false;
  info.summary = code + " class table " + std::to_string(kClassRows) + "x" + std::to_string(kClassColumns);
  info.fields = Node::object().add("rows", byteRows(data, kClassRows, kClassColumns));
  return true;
}

bool describeMonsterTable(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                          std::string& error) {
  size_t count = 0;
  if (!countedRows(data, length, kMonsterTableEntry, count, error)) return false;
  Node entries = Node::list();
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = data + 2 + kMonsterTableEntry * i;
    entries.push(Node::object().add("value1", Node::num(readBE16(e))).add("value2", Node::num(readBE16(e + 2))));
  }
  info.summary = code + " monster table, " + std::to_string(count) + " entries";
  info.fields = Node::object().add("count", Node::num(long(count))).add("entries", std::move(entries));
  return true;
}

bool describeAcTable(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                     std::string& error) {
  size_t count = 0;
  if (!countedRows(data, length, kAcColumns, count, error)) return false;
  info.summary = code + " AC table, " + std::to_string(count) + " rows";
  info.fields = Node::object().add("count", Node::num(long(count))).add("rows", byteRows(data + 2, count, kAcColumns));
  return true;
}

bool classesSource(const uint8_t* data, size_t length, std::string& text, std::string& why) {
  const size_t size = size_t(kClassRows) * kClassColumns;
  if (!checkRecordLength(data, length, size, why) || !exactLength(length, size, why)) return false;
  // Rows of zeros at the end need no line.
  size_t rows = kClassRows;
  while (rows > 0 && std::all_of(data + (rows - 1) * kClassColumns, data + rows * kClassColumns,
                                 [](uint8_t b) { return b == 0; }))
    --rows;
  text = "# label and 32 values a row\n";
  rowLines(data, rows, kClassColumns, 0, text);
  return true;
}

bool monsterTableSource(const uint8_t* data, size_t length, std::string& text, std::string& why) {
  size_t count = 0;
  if (!countedRows(data, length, kMonsterTableEntry, count, why) ||
      !exactLength(length, 2 + kMonsterTableEntry * count, why))
    return false;
  if (count > size_t(kMaxMonsterTableEntries)) {
    why = "more entries than a monster table holds";
    return false;
  }
  text = "# label value1 value2\n";
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = data + 2 + kMonsterTableEntry * i;
    text += "entry" + std::to_string(i) + " " + std::to_string(readBE16(e)) + " " + std::to_string(readBE16(e + 2)) + "\n";
  }
  return true;
}

bool acTableSource(const uint8_t* data, size_t length, std::vector<uint8_t>& rows, std::string& text,
                   std::string& why) {
  size_t count = 0;
  if (!countedRows(data, length, kAcColumns, count, why) || !exactLength(length, 2 + kAcColumns * count, why))
    return false;
  size_t before = rows.size() / kAcColumns;
  if (count < before || (before && std::memcmp(data + 2, rows.data(), rows.size()) != 0)) {
    why = "does not begin with the rows of the AC records before it, which a build repeats";
    return false;
  }
  text = "# label and 32 values a row\n";
  rowLines(data + 2 + rows.size(), count - before, kAcColumns, before, text);
  rows.assign(data + 2, data + 2 + kAcColumns * count);
  return true;
}

}  // namespace kiln
