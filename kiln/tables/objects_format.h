#pragma once
// The object entry and the keywords of the object table: one definition for
// the compiler and the decoder.

#include <cstddef>
#include <cstdint>
#include <string>

#include "kiln/tables/objects.h"
#include "kiln/tables/table_fields.h"
#include "kiln/text/where.h"

namespace kiln::objects_format {

// The keyword tables themselves are in objects.h, beside the compiler.

// A keyword list and the message its column gives for a word not in it.
struct WordList {
  const Keyword* words;
  size_t count;
  const char* message;  // "%d ... <%s>\n": object number, word
};
template <size_t N>
constexpr WordList wordList(const Keyword (&words)[N], const char* message) {
  return {words, N, message};
}

inline constexpr WordList kAttributeList = wordList(kObjectAttributeWords, "%d Invalid attribute <%s>\n");
inline constexpr WordList kBonusList = wordList(kObjectBonusWords, "%d Invalid bonusAttrib <%s>\n");
inline constexpr WordList kTypeList = wordList(kObjectTypeWords, "%d Invalid Object type <%s>\n");
inline constexpr WordList kProtectionList = wordList(kProtectionWords, "%d  Invalid protection device <%s>\n");
inline constexpr WordList kJewelryList = wordList(kJewelryWords, "%d Invalid jewelry type <%s>\n");
inline constexpr WordList kJewelryAttributeList = wordList(kJewelryAttributeWords, "%d Invalid attribute <%s>\n");
inline constexpr WordList kFruitAttributeList = wordList(kFruitAttributeWords, "%d Invalid attribute <%s>\n");
inline constexpr WordList kPotionAttributeList = wordList(kPotionAttributeWords, "%d Invalid attribute <%s>\n");

// Entry offsets.
enum : uint8_t {
  kCol7 = 0, kCol8 = 2, kCol9 = 4, kCol10 = 6, kAttributeValue = 8, kAttribute = 9, kCol4 = 10, kCol3 = 11,
  kName = 12, kCol6 = 33, kCol2 = 34, kCol5 = 35, kCol12 = 36, kObjectType = 37, kTypeData0 = 38,
  kTypeData1 = 39, kTypeData2 = 40, kTypeData3 = 41, kBonusAttribute = 42, kBonusValue = 43, kTypeData4 = 44,
  kCol11 = 45,
};

constexpr size_t kMaxNameLength = 20;
constexpr size_t kNameField = 21;

// The plain columns of every object, in the order they are stored.
inline constexpr TableField kPlainFields[] = {
    {"col2", kCol2, 2, FieldKind::Byte},   {"col3", kCol3, 3, FieldKind::Byte},
    {"col4", kCol4, 4, FieldKind::Flag},   {"col5", kCol5, 5, FieldKind::Flag},
    {"col6", kCol6, 6, FieldKind::Byte},   {"col7", kCol7, 7, FieldKind::Word},
    {"col8", kCol8, 8, FieldKind::Word},   {"col9", kCol9, 9, FieldKind::Word},
    {"col10", kCol10, 10, FieldKind::Word}, {"col11", kCol11, 11, FieldKind::Byte},
    {"col12", kCol12, 12, FieldKind::Byte},
};
inline constexpr TableField kAttributeValueField = {"attributeValue", kAttributeValue, 14, FieldKind::Byte};
inline constexpr TableField kBonusValueField = {"bonusValue", kBonusValue, 16, FieldKind::Byte};

// A type-specific byte: a plain column, or a keyword column when list is set.
struct TypeField {
  const char* name;
  uint8_t offset;
  uint8_t column;
  const WordList* list;
};

// Each object type and its type-specific bytes, keyword columns first: the
// order in which they are translated and stored.
struct ObjectType {
  const char* word;
  uint8_t code;
  TypeField fields[5];
  int fieldCount;
};

inline constexpr ObjectType kObjectTypes[] = {
    {"Misc", kMisc, {{"typeData0", kTypeData0, 18, nullptr}, {"typeData4", kTypeData4, 19, nullptr}}, 2},
    {"Jewelry", kJewelry,
     {{"typeData0", kTypeData0, 18, &kJewelryList}, {"typeData2", kTypeData2, 19, &kJewelryAttributeList},
      {"typeData1", kTypeData1, 20, nullptr}, {"typeData4", kTypeData4, 21, nullptr}},
     4},
    {"Potion", kPotion,
     {{"typeData1", kTypeData1, 18, &kPotionAttributeList}, {"typeData0", kTypeData0, 19, nullptr},
      {"typeData4", kTypeData4, 20, nullptr}},
     3},
    {"Fruit", kFruit,
     {{"typeData1", kTypeData1, 18, &kFruitAttributeList}, {"typeData0", kTypeData0, 19, nullptr},
      {"typeData4", kTypeData4, 20, nullptr}},
     3},
    {"Protection", kProtection,
     {{"typeData0", kTypeData0, 18, &kProtectionList}, {"typeData1", kTypeData1, 19, nullptr},
      {"typeData2", kTypeData2, 20, nullptr}, {"typeData3", kTypeData3, 21, nullptr},
      {"typeData4", kTypeData4, 22, nullptr}},
     5},
    {"SpellWeapon", kSpellWeapon,
     {{"typeData0", kTypeData0, 18, nullptr}, {"typeData1", kTypeData1, 19, nullptr},
      {"typeData4", kTypeData4, 20, nullptr}},
     3},
    {"HandWeapon", kHandWeapon,
     {{"typeData0", kTypeData0, 18, nullptr}, {"typeData1", kTypeData1, 19, nullptr},
      {"typeData2", kTypeData2, 20, nullptr}, {"typeData3", kTypeData3, 21, nullptr},
      {"typeData4", kTypeData4, 22, nullptr}},
     5},
    {"Torch", kTorch,
     {{"typeData0", kTypeData0, 18, nullptr}, {"typeData1", kTypeData1, 19, nullptr},
      {"typeData4", kTypeData4, 20, nullptr}},
     3},
};

inline bool lookUp(const WordList& list, const std::string& word, uint8_t& code) {
  for (size_t i = 0; i < list.count; ++i)
    if (word == list.words[i].word) {
      code = list.words[i].code;
      return true;
    }
  return false;
}

// The word of a code, or null when the list has none.
inline const char* wordOf(const WordList& list, uint8_t code) {
  for (size_t i = 0; i < list.count; ++i)
    if (list.words[i].code == code) return list.words[i].word;
  return nullptr;
}

inline const ObjectType* objectType(uint8_t code) {
  for (const ObjectType& t : kObjectTypes)
    if (t.code == code) return &t;
  return nullptr;
}

}  // namespace kiln::objects_format
