#include "kiln/tables/objects.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "common/exit.h"
#include "kiln/pdb/bytes.h"
#include "kiln/tables/objects_format.h"
#include "kiln/tables/table_input.h"
#include "kiln/text/tokenizer.h"
#include "kiln/text/where.h"

namespace kiln {

namespace {

using namespace objects_format;

// Translates a keyword column or ends the build with the column's message,
// where it is and the word probably meant.
uint8_t keyword(const WordList& list, const TokenReader& in, size_t column, int counter) {
  const std::string& word = in.token(column);
  uint8_t code = 0;
  if (!lookUp(list, word, code)) {
    std::fprintf(stderr, list.message, counter, word.c_str());
    printAt(in.path, in.line);
    suggestWord(word, std::span<const Keyword>(list.words, list.count));
    kit::fail(1);
  }
  return code;
}

void compileObject(const TokenReader& in, int counter, uint8_t* entry) {
  copyName(entry + kName, kMaxNameLength, in.token(1));
  storeFields(entry, kPlainFields, in);
  entry[kAttribute] = keyword(kAttributeList, in, 13, counter);
  storeField(entry, kAttributeValueField, in.token(14));
  entry[kBonusAttribute] = keyword(kBonusList, in, 15, counter);
  storeField(entry, kBonusValueField, in.token(16));

  const ObjectType* type = objectType(keyword(kTypeList, in, 17, counter));
  entry[kObjectType] = type->code;
  for (int i = 0; i < type->fieldCount; ++i) {
    const TypeField& f = type->fields[i];
    if (f.list)
      entry[f.offset] = keyword(*f.list, in, f.column, counter);
    else
      entry[f.offset] = uint8_t(columnNumber(in.token(f.column)));
  }
}

}  // namespace

int compileObjects(const std::string& path, const char* code, Database& db) {
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
