#include "kiln/tables/objects.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "common/exit.h"
#include "kiln/pdb/bytes.h"
#include "kiln/tables/table_input.h"
#include "kiln/text/tokenizer.h"
#include "kiln/text/where.h"

namespace kiln {

namespace {

template <size_t N>
bool lookUp(const Keyword (&words)[N], const std::string& word, uint8_t& code) {
  for (const Keyword& k : words)
    if (word == k.word) {
      code = k.code;
      return true;
    }
  return false;
}

// Translates a keyword column or ends the build with the column's message,
// where it is and the word probably meant.
template <size_t N>
uint8_t keyword(const Keyword (&words)[N], const TokenReader& in, size_t column, const char* format, int counter) {
  const std::string& word = in.token(column);
  uint8_t code = 0;
  if (!lookUp(words, word, code)) {
    std::fprintf(stderr, format, counter, word.c_str());
    printAt(in.path, in.line);
    suggestWord(word, words);
    kit::fail(1);
  }
  return code;
}

// Entry offsets.
enum : size_t {
  kCol7 = 0, kCol8 = 2, kCol9 = 4, kCol10 = 6, kAttributeValue = 8, kAttribute = 9, kCol4 = 10, kCol3 = 11,
  kName = 12, kCol6 = 33, kCol2 = 34, kCol5 = 35, kCol12 = 36, kObjectType = 37, kTypeData0 = 38,
  kTypeData1 = 39, kTypeData2 = 40, kTypeData3 = 41, kBonusAttribute = 42, kBonusValue = 43, kTypeData4 = 44,
  kCol11 = 45,
};

constexpr size_t kMaxNameLength = 20;

void compileObject(const TokenReader& in, int counter, uint8_t* entry) {
  auto col = [&](size_t i) -> const std::string& { return in.token(i); };
  auto byte = [&](size_t i) { return uint8_t(columnNumber(col(i))); };
  auto flag = [&](size_t i) { return uint8_t(columnNumber(col(i)) != 0); };
  auto word = [&](size_t at, size_t i) { setBE16(entry + at, uint32_t(columnNumber(col(i)))); };

  copyName(entry + kName, kMaxNameLength, col(1));
  entry[kCol2] = byte(2);
  entry[kCol3] = byte(3);
  entry[kCol4] = flag(4);
  entry[kCol5] = flag(5);
  entry[kCol6] = byte(6);
  word(kCol7, 7);
  word(kCol8, 8);
  word(kCol9, 9);
  word(kCol10, 10);
  entry[kCol11] = byte(11);
  entry[kCol12] = byte(12);

  entry[kAttribute] = keyword(kObjectAttributeWords, in, 13, "%d Invalid attribute <%s>\n", counter);
  entry[kAttributeValue] = byte(14);
  entry[kBonusAttribute] = keyword(kObjectBonusWords, in, 15, "%d Invalid bonusAttrib <%s>\n", counter);
  entry[kBonusValue] = byte(16);

  uint8_t type = keyword(kObjectTypeWords, in, 17, "%d Invalid Object type <%s>\n", counter);
  entry[kObjectType] = type;
  switch (type) {
    case kHandWeapon:
      entry[kTypeData0] = byte(18);
      entry[kTypeData1] = byte(19);
      entry[kTypeData2] = byte(20);
      entry[kTypeData3] = byte(21);
      entry[kTypeData4] = byte(22);
      break;
    case kSpellWeapon:
    case kTorch:
      entry[kTypeData0] = byte(18);
      entry[kTypeData1] = byte(19);
      entry[kTypeData4] = byte(20);
      break;
    case kProtection:
      entry[kTypeData0] = keyword(kProtectionWords, in, 18, "%d  Invalid protection device <%s>\n", counter);
      entry[kTypeData1] = byte(19);
      entry[kTypeData2] = byte(20);
      entry[kTypeData3] = byte(21);
      entry[kTypeData4] = byte(22);
      break;
    case kJewelry:
      entry[kTypeData0] = keyword(kJewelryWords, in, 18, "%d Invalid jewelry type <%s>\n", counter);
      entry[kTypeData2] = keyword(kJewelryAttributeWords, in, 19, "%d Invalid attribute <%s>\n", counter);
      entry[kTypeData1] = byte(20);
      entry[kTypeData4] = byte(21);
      break;
    case kFruit:
      entry[kTypeData1] = keyword(kFruitAttributeWords, in, 18, "%d Invalid attribute <%s>\n", counter);
      entry[kTypeData0] = byte(19);
      entry[kTypeData4] = byte(20);
      break;
    case kPotion:
      entry[kTypeData1] = keyword(kPotionAttributeWords, in, 18, "%d Invalid attribute <%s>\n", counter);
      entry[kTypeData0] = byte(19);
      entry[kTypeData4] = byte(20);
      break;
    case kMisc:
      entry[kTypeData0] = byte(18);
      entry[kTypeData4] = byte(19);
      break;
  }
}

}  // namespace

int compileObjects(RunState&, const std::string& path, const char* code, Database& db) {
  TableInput in;
  openTable(in, path, "ERROR: Could not open object file");
  TokenReader& reader = in.reader;

  // The record as it will be stored: the count, then the entries.
  std::vector<uint8_t> record(2, 0);
  int counter = 0;
  int count = 0;
  while (readTableLine(reader, count)) {
    if (size_t(counter) >= kMaxObjects) {
      std::fprintf(stderr, "ERROR: %s line %d: an object table holds at most %zu objects\n", path.c_str(),
                   reader.line, kMaxObjects);
      kit::fail(1);
    }
    int number = columnNumber(reader.token(0));
    if (number != counter) {
      std::fprintf(stderr, "Object out of sequence - found %d expected %d\n", number, counter);
      printAt(path, reader.line);
      kit::fail(1);
    }
    const std::string& name = reader.token(1);
    if (name.size() > kMaxNameLength) {
      std::fprintf(stderr, "%d Name too long %d must be <= 20\n", counter, int(name.size()));
      printAt(path, reader.line);
      kit::fail(1);
    }
    record.resize(record.size() + kObjectEntrySize, 0);
    compileObject(reader, counter, record.data() + record.size() - kObjectEntrySize);
    ++counter;
  }

  if (counter != 0) {
    setBE16(record.data(), uint32_t(counter));
    addPDBEntry(db, code, record);
  }
  return 0;
}

}  // namespace kiln
