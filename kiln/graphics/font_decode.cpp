#include "kiln/graphics/font_decode.h"

#include "kiln/graphics/font.h"
#include "kiln/graphics/padding.h"

namespace kiln {

namespace {
const char* planeName(uint32_t word) {
  switch (word & kGlyphMarks) {
    case 0: return "single";
    case kGlyphFirstOfTwo: return "first";
    case kGlyphSecondPlane: return "second";
    default: return "marked 01";  // no drawing gives it
  }
}
}  // namespace

bool decodeFont(const uint8_t* data, size_t length, std::vector<uint32_t>& words, std::string& error) {
  const size_t count = length / 4;
  if (!checkPadding(data, 4 * count, length, error)) return false;
  words.clear();
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* w = data + 4 * i;
    words.push_back(uint32_t(w[0]) << 24 | uint32_t(w[1]) << 16 | uint32_t(w[2]) << 8 | w[3]);
  }
  return true;
}

std::string glyphRow(uint32_t word, int row) {
  std::string text;
  for (int c = 0; c < kGlyphColumns; ++c) text += (word & glyphBit(row, c)) ? '#' : '-';
  return text;
}

bool describeFont(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                  std::string& error) {
  std::vector<uint32_t> words;
  if (!decodeFont(data, length, words, error)) return false;
  size_t glyphs = 0;
  Node list = Node::list();
  for (uint32_t w : words) {
    if ((w & kGlyphMarks) != kGlyphSecondPlane) ++glyphs;
    Node rows = Node::list();
    for (int r = 1; r <= kGlyphRows; ++r) rows.push(Node::str(glyphRow(w, r)));
    Node word = Node::object();
    word.add("plane", Node::str(planeName(w))).add("rows", std::move(rows));
    list.push(std::move(word));
  }
  info.summary = code + " " + std::to_string(glyphs) + " glyphs in " + std::to_string(words.size()) + " words";
  info.fields = Node::object();
  info.fields.add("words", std::move(list));
  return true;
}

bool fontSource(const uint8_t* data, size_t length, std::string& text, std::string& why) {
  std::vector<uint32_t> words;
  if (!decodeFont(data, length, words, why)) return false;
  if (words.size() > kMaxGlyphWords) {
    why = "the font holds " + std::to_string(words.size()) + " glyph words; kiln takes at most " +
          std::to_string(kMaxGlyphWords);
    return false;
  }
  text.clear();
  bool firstBefore = false;  // the word before is the first of two planes
  for (size_t i = 0; i < words.size(); ++i) {
    const uint32_t mark = words[i] & kGlyphMarks;
    const bool expected = firstBefore ? mark == kGlyphSecondPlane : mark == 0 || mark == kGlyphFirstOfTwo;
    if (!expected) {
      std::string marks = {char('0' + (mark >> 31)), char('0' + (mark >> 30 & 1))};
      why = "glyph word " + std::to_string(i) + " has the plane marks " + marks +
            (firstBefore ? " after a first plane; a drawing gives 11 there" : "; a drawing gives 00 or 10 there");
      return false;
    }
    for (int r = 1; r <= kGlyphRows; ++r) text += glyphRow(words[i], r) + "\n";
    firstBefore = mark == kGlyphFirstOfTwo;
    text += firstBefore ? std::string(1, kSecondPlaneFollows) + "\n" : "\n";
  }
  return true;
}

}  // namespace kiln
