#include "kiln/tables/heroes_decode.h"

#include <cstring>

#include "kiln/tables/heroes.h"
#include "kiln/tables/heroes_format.h"
#include "kiln/text/token_writer.h"

namespace kiln {

using namespace heroes_format;

namespace {

std::string heroError(size_t n, const std::string& what) { return "character " + std::to_string(n) + ": " + what; }

bool heroCount(const uint8_t* data, size_t length, size_t& count, std::string& error) {
  // No count is stored: the entries fill the record, padding aside.
  count = length / kHeroEntrySize;
  return checkRecordLength(data, length, count * kHeroEntrySize, error);
}

}  // namespace

bool describeHeroes(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                    std::string& error) {
  size_t count = 0;
  if (!heroCount(data, length, count, error)) return false;
  Node heroes = Node::list();
  for (size_t n = 0; n < count; ++n) {
    const uint8_t* e = data + kHeroEntrySize * n;
    Node h = Node::object().add("index", Node::num(e[kIndex])).add("name", Node::str(fieldText(e + kName, kNameWidth)));
    h.add("pronoun", e[kPronoun] < 3 ? Node::str(kPronounWords[e[kPronoun]]) : Node::num(e[kPronoun]));
    std::string cls = classWord(e[kCharacterClass]);
    h.add("class", cls.empty() ? Node::num(e[kCharacterClass]) : Node::str(cls));
    addFields(h, e, kPlainFields);
    h.add("slot", e[kSlot] == kNone ? Node() : Node::num(e[kSlot]));
    h.add("inn", e[kInn] == kNone ? Node() : Node::num(e[kInn]));
    Node items = Node::list();
    for (int i = 0; i < e[kItemCount] && i < kMaxHeroItems; ++i) items.push(Node::num(readBE16(e + kItems + kItemSlotSize * i)));
    h.add("itemCount", Node::num(e[kItemCount])).add("items", std::move(items));
    heroes.push(std::move(h));
  }
  info.summary = code + " " + std::to_string(count) + " characters";
  info.fields = Node::object().add("characters", std::move(heroes));
  return true;
}

bool heroesSource(const uint8_t* data, size_t length, std::string& text, std::string& why) {
  size_t count = 0;
  if (!heroCount(data, length, count, why) || !exactLength(length, count * kHeroEntrySize, why)) return false;
  if (count == 0 || count > kMaxHeroes) {
    why = "a character list holds 1 to 256 entries";
    return false;
  }
  text = "# label name col2 pronoun class col5..col10 slot inn col13..col17 itemCount items...\n";
  int slots = 0;
  bool elementalSeen = false;
  for (size_t n = 0; n < count; ++n) {
    const uint8_t* e = data + kHeroEntrySize * n;
    uint8_t rebuilt[kHeroEntrySize] = {};
    bool clean = true;
    std::string name = fieldText(e + kName, kNameWidth, &clean);
    std::string cols[kFirstItemColumn + kMaxHeroItems];
    cols[0] = "hero" + std::to_string(n);
    if (!clean || !quotedToken(name, cols[1], why)) {
      why = heroError(n, clean ? why : "name field holds bytes after its end");
      return false;
    }
    std::memcpy(rebuilt + kName, name.data(), name.size());
    for (const TableField& f : kPlainFields) {
      if (cols[f.column].empty()) fieldToken(e, f, cols[f.column]);
      storeField(rebuilt, f, cols[f.column]);
    }
    uint8_t cls = e[kCharacterClass];
    if (e[kPronoun] > 2 || classWord(cls).empty()) {
      why = heroError(n, "pronoun or class code has no keyword");
      return false;
    }
    cols[3] = kPronounWords[e[kPronoun]];
    cols[4] = classWord(cls);
    rebuilt[kPronoun] = e[kPronoun];
    rebuilt[kCharacterClass] = cls;
    if (cls == kElemental) elementalSeen = true;
    if (elementalSeen && cls != kElemental && cls != kEndOfList) {
      why = heroError(n, "comes after the elementals");
      return false;
    }
    // The slot numbers count the characters whose slot is set.
    if (e[kSlot] != kNone) {
      if (e[kSlot] != slots || e[kInn] != kNone) {
        why = heroError(n, "slot is not the next slot number, or the character also has an inn");
        return false;
      }
      ++slots;
    }
    cols[11] = e[kSlot] == kNone ? "0" : "1";
    cols[12] = e[kInn] == kNone ? "-" : std::to_string(e[kInn]);
    rebuilt[kSlot] = e[kSlot];
    rebuilt[kInn] = e[kInn];
    rebuilt[kIndex] = uint8_t(n);
    int items = e[kItemCount];
    if (items > kMaxHeroItems) {
      why = heroError(n, "item count above 10");
      return false;
    }
    cols[18] = std::to_string(items);
    rebuilt[kItemCount] = uint8_t(items);
    for (int i = 0; i < items; ++i) {
      uint16_t item = readBE16(e + kItems + kItemSlotSize * i);
      cols[kFirstItemColumn + i] = std::to_string(item);
      setBE16(rebuilt + kItems + kItemSlotSize * i, item);
    }
    if (std::memcmp(rebuilt, e, kHeroEntrySize) != 0) {
      why = heroError(n, "holds bytes that no column of the list gives");
      return false;
    }
    for (size_t c = 0; c < kFirstItemColumn + size_t(items); ++c) text += (c ? " " : "") + cols[c];
    text += "\n";
  }
  if (data[kHeroEntrySize * (count - 1) + kCharacterClass] != kEndOfList || slots == 0 || slots > kMaxSlots) {
    why = "the list does not end with endoflist, or has no slot set, or more than 5";
    return false;
  }
  return true;
}

}  // namespace kiln
