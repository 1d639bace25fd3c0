#include "kiln/tables/spells_decode.h"

#include <cstring>

#include "kiln/tables/spells.h"
#include "kiln/tables/spells_format.h"
#include "kiln/text/token_writer.h"

namespace kiln {

using namespace spells_format;

namespace {

constexpr size_t kEffectCount = sizeof kEffectWords / sizeof kEffectWords[0];
constexpr size_t kVerbCount = sizeof kVerbWords / sizeof kVerbWords[0];

bool spellCount(const uint8_t* data, size_t length, size_t& count, std::string& error) {
  if (!hasBytes(length, 2, error)) return false;
  count = data[0];
  if (data[1] != 0) {
    error = "reserved byte after the count is not zero";
    return false;
  }
  return checkRecordLength(data, length, 2 + kSpellEntrySize * count, error);
}

std::string spellError(size_t n, const std::string& what) { return "spell " + std::to_string(n) + ": " + what; }

}  // namespace

bool describeSpells(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                    std::string& error) {
  size_t count = 0;
  if (!spellCount(data, length, count, error)) return false;
  Node spells = Node::list();
  for (size_t n = 0; n < count; ++n) {
    const uint8_t* e = data + 2 + kSpellEntrySize * n;
    Node s = Node::object().add("name", Node::str(fieldText(e + kName, kNameWidth)));
    s.add("effect", e[kEffect] < kEffectCount ? Node::str(kEffectWords[e[kEffect]]) : Node::num(e[kEffect]));
    s.add("effectValue", Node::num(effectValueColumn(e[kEffect], e[kEffectValue])));
    addFields(s, e, kPlainFields);
    s.add("verb", e[kVerb] < kVerbCount ? Node::str(kVerbWords[e[kVerb]]) : Node::num(e[kVerb]));
    s.add("combat", Node::boolean(e[kCombatFlags] & kCombat));
    s.add("no_combat", Node::boolean(e[kCombatFlags] & kNoCombat));
    uint32_t mask = readBE32(e + kClassMask);
    Node classes = Node::list();
    for (int i = 0; i < kClassColumns; ++i)
      classes.push(mask >> i & 1 ? Node::num(int(e[kClassValues + i]) - 1) : Node());
    s.add("classes", std::move(classes));
    spells.push(std::move(s));
  }
  info.summary = code + " " + std::to_string(count) + " spells";
  info.fields = Node::object().add("count", Node::num(long(count))).add("spells", std::move(spells));
  return true;
}

bool spellsSource(const uint8_t* data, size_t length, std::string& text, std::string& why) {
  size_t count = 0;
  if (!spellCount(data, length, count, why) || !exactLength(length, 2 + kSpellEntrySize * count, why)) return false;
  text = "# label name effect value col4..col8 verb combat no_combat class0..class31\n";
  for (size_t n = 0; n < count; ++n) {
    const uint8_t* e = data + 2 + kSpellEntrySize * n;
    uint8_t rebuilt[kSpellEntrySize] = {};
    bool clean = true;
    std::string name = fieldText(e + kName, kNameWidth, &clean);
    std::string cols[kFirstClassColumn + kClassColumns];
    cols[0] = "spell" + std::to_string(n);
    if (!clean || !quotedToken(name, cols[1], why)) {
      why = spellError(n, clean ? why : "name field holds bytes after its end");
      return false;
    }
    std::memcpy(rebuilt + kName, name.data(), name.size());
    if (e[kEffect] >= kEffectCount || e[kVerb] >= kVerbCount) {
      why = spellError(n, "effect or verb code has no keyword");
      return false;
    }
    cols[2] = kEffectWords[e[kEffect]];
    rebuilt[kEffect] = e[kEffect];
    int value = effectValueColumn(e[kEffect], e[kEffectValue]);
    cols[3] = std::to_string(value);
    rebuilt[kEffectValue] = effectValueByte(e[kEffect], value);
    for (const TableField& f : kPlainFields) {
      fieldToken(e, f, cols[f.column]);
      storeField(rebuilt, f, cols[f.column]);
    }
    cols[9] = kVerbWords[e[kVerb]];
    rebuilt[kVerb] = e[kVerb];
    cols[10] = e[kCombatFlags] & kCombat ? "combat" : "-";
    cols[11] = e[kCombatFlags] & kNoCombat ? "no_combat" : "-";
    rebuilt[kCombatFlags] = e[kCombatFlags] & (kCombat | kNoCombat);
    uint32_t mask = readBE32(e + kClassMask);
    for (int i = 0; i < kClassColumns; ++i) {
      if (mask >> i & 1) {
        cols[kFirstClassColumn + i] = std::to_string(int(e[kClassValues + i]) - 1);
        rebuilt[kClassValues + i] = e[kClassValues + i];
      } else {
        cols[kFirstClassColumn + i] = "-";
      }
    }
    setBE32(rebuilt + kClassMask, mask);
    if (std::memcmp(rebuilt, e, kSpellEntrySize) != 0) {
      why = spellError(n, "holds bytes that no column of the list gives");
      return false;
    }
    // The blank after the last column makes the count the 44 the compiler expects.
    for (size_t c = 0; c < kFirstClassColumn + kClassColumns; ++c) text += cols[c] + " ";
    text += "\n";
  }
  return true;
}

}  // namespace kiln
