#include "kiln/tables/objects_decode.h"

#include <cstring>

#include "kiln/tables/objects.h"
#include "kiln/tables/objects_format.h"
#include "kiln/text/token_writer.h"

namespace kiln {

using namespace objects_format;

namespace {

bool objectCount(const uint8_t* data, size_t length, size_t& count, std::string& error) {
  if (!hasBytes(length, 2, error)) return false;
  count = readBE16(data);
  return checkRecordLength(data, length, 2 + kObjectEntrySize * count, error);
}

std::string objectError(size_t n, const std::string& what) { return "object " + std::to_string(n) + ": " + what; }

// A keyword column as the table writes it; null when the code has no word.
const char* keywordOf(const WordList& list, uint8_t code) { return wordOf(list, code); }

}  // namespace

namespace {

// Object n of a table describeObjects accepted, with every field.
Node objectNode(const uint8_t* data, size_t n) {
  const uint8_t* e = data + 2 + kObjectEntrySize * n;
  auto word = [&](const WordList& list, uint8_t value) {
    const char* w = keywordOf(list, value);
    return w ? Node::str(w) : Node::num(value);
  };
  Node o = Node::object();
  o.members.reserve(std::size(kPlainFields) + 12);  // every field below
  o.add("number", Node::num(long(n))).add("name", Node::str(fieldText(e + kName, kNameField)));
  addFields(o, e, kPlainFields);
  o.add("attribute", word(kAttributeList, e[kAttribute]));
  addFields(o, e, {kAttributeValueField});
  o.add("bonusAttribute", word(kBonusList, e[kBonusAttribute]));
  addFields(o, e, {kBonusValueField});
  const ObjectType* type = objectType(e[kObjectType]);
  o.add("objectType", type ? Node::str(type->word) : Node::num(e[kObjectType]));
  for (uint8_t at : {kTypeData0, kTypeData1, kTypeData2, kTypeData3, kTypeData4}) {
    const TypeField* f = nullptr;
    for (int i = 0; type && i < type->fieldCount; ++i)
      if (type->fields[i].offset == at) f = &type->fields[i];
    std::string name = "typeData" + std::to_string(at == kTypeData4 ? 4 : at - kTypeData0);
    o.add(name, f && f->list ? word(*f->list, e[at]) : Node::num(e[at]));
  }
  return o;
}

Node objectNodes(const uint8_t* data, size_t first, size_t count) {
  Node objects = Node::list();
  objects.items.reserve(count);
  for (size_t n = first; n < first + count; ++n) objects.push(objectNode(data, n));
  return objects;
}

}  // namespace

bool describeObjects(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                     std::string& error) {
  size_t count = 0;
  if (!objectCount(data, length, count, error)) return false;
  info.summary = code + " " + std::to_string(count) + " objects";
  if (info.slices) {
    info.entriesKey = "objects";
    info.entryCount = count;
    info.entries = [data](size_t first, size_t n) { return objectNodes(data, first, n); };
  }
  info.fields = Node::object()
                    .add("count", Node::num(long(count)))
                    .add("objects", info.slices ? Node::list() : objectNodes(data, 0, count));
  return true;
}

bool objectsSource(const uint8_t* data, size_t length, std::string& text, std::string& why) {
  size_t count = 0;
  if (!objectCount(data, length, count, why) || !exactLength(length, 2 + kObjectEntrySize * count, why)) return false;
  if (count == 0) {
    why = "an object table without objects adds no record";
    return false;
  }
  text = "# number name col2..col12 attribute value bonusAttribute value objectType typeData...\n";
  for (size_t n = 0; n < count; ++n) {
    const uint8_t* e = data + 2 + kObjectEntrySize * n;
    // Every byte is accounted for below; the rebuilt entry must equal it.
    uint8_t rebuilt[kObjectEntrySize] = {};
    bool clean = true;
    std::string name = fieldText(e + kName, kNameField, &clean);
    if (!clean || name.size() > kMaxNameLength) {
      why = objectError(n, "name field holds bytes after its end");
      return false;
    }
    std::string cols[23];
    cols[0] = std::to_string(n);
    if (!quotedToken(name, cols[1], why)) return false;
    std::memcpy(rebuilt + kName, name.data(), name.size());
    for (const TableField& f : kPlainFields) {
      if (!fieldToken(e, f, cols[f.column])) {
        why = objectError(n, std::string(f.name) + " is a flag other than 0 or 1");
        return false;
      }
      storeField(rebuilt, f, cols[f.column]);
    }
    for (const TableField& f : {kAttributeValueField, kBonusValueField}) {
      fieldToken(e, f, cols[f.column]);
      storeField(rebuilt, f, cols[f.column]);
    }
    const char* attribute = keywordOf(kAttributeList, e[kAttribute]);
    const char* bonus = keywordOf(kBonusList, e[kBonusAttribute]);
    const ObjectType* type = objectType(e[kObjectType]);
    if (!attribute || !bonus || !type) {
      why = objectError(n, !type ? "object type code is not one of the keywords" : "attribute code has no keyword");
      return false;
    }
    cols[13] = attribute;
    cols[15] = bonus;
    cols[17] = type->word;
    rebuilt[kAttribute] = e[kAttribute];
    rebuilt[kBonusAttribute] = e[kBonusAttribute];
    rebuilt[kObjectType] = e[kObjectType];
    size_t columns = 18;
    for (int i = 0; i < type->fieldCount; ++i) {
      const TypeField& f = type->fields[i];
      if (f.list) {
        const char* w = keywordOf(*f.list, e[f.offset]);
        if (!w) {
          why = objectError(n, std::string(f.name) + " code has no keyword");
          return false;
        }
        cols[f.column] = w;
      } else {
        cols[f.column] = std::to_string(e[f.offset]);
      }
      rebuilt[f.offset] = e[f.offset];
      columns = std::max<size_t>(columns, size_t(f.column) + 1);
    }
    if (std::memcmp(rebuilt, e, kObjectEntrySize) != 0) {
      why = objectError(n, "holds bytes that its type does not set");
      return false;
    }
    // Appended in place: 20,000 objects of 23 columns each.
    for (size_t c = 0; c < columns; ++c) {
      if (c) text += ' ';
      text += cols[c];
    }
    text += '\n';
  }
  return true;
}

}  // namespace kiln
