#include "kiln/graphics/palette_decode.h"

#include <algorithm>
#include <cstdio>

#include "kiln/graphics/bmp_write.h"
#include "kiln/graphics/padding.h"
#include "kiln/graphics/palette.h"

namespace kiln {

bool decodePalette(const uint8_t* data, size_t length, Palette& out, std::string& error) {
  if (!checkPadding(data, kPaletteRecordSize, length, error)) return false;
  for (int i = 0; i < 256; ++i) {
    const uint8_t* e = data + 4 * i;
    out[i] = PaletteEntry{e[0], e[1], e[2], e[3]};
  }
  return true;
}

bool decodeShadeTable(const uint8_t* data, size_t length, ShadeTable& out, std::string& error) {
  if (!checkPadding(data, kShadeTableSize, length, error)) return false;
  std::copy(data, data + kShadeTableSize, out.begin());
  return true;
}

bool describePalette(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                     std::string& error) {
  Palette palette;
  if (!decodePalette(data, length, palette, error)) return false;
  info.summary = code + " 256 colours";
  Node colours = Node::list();
  for (const PaletteEntry& p : palette) {
    Node c = Node::object();
    c.add("reserved", Node::num(p.reserved))
        .add("red", Node::num(p.red))
        .add("green", Node::num(p.green))
        .add("blue", Node::num(p.blue));
    colours.push(std::move(c));
  }
  info.fields = Node::object();
  info.fields.add("colours", std::move(colours));
  return true;
}

bool describeShadeTable(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                        std::string& error) {
  ShadeTable table;
  if (!decodeShadeTable(data, length, table, error)) return false;
  int shade = -1;
  for (int s = 0; s < 5; ++s)
    if (code == kShadeCodes[s]) shade = s;
  info.summary = code + " shade table";
  if (shade >= 0) info.summary += " " + std::to_string(shade);
  Node slots = Node::list();
  for (uint8_t s : table) slots.push(Node::num(s));
  info.fields = Node::object();
  info.fields.add("shade", shade >= 0 ? Node::num(shade) : Node()).add("slots", std::move(slots));
  return true;
}

bool paletteSource(const Palette& palette, const std::array<ShadeTable, 5>& shades, std::vector<uint8_t>& bmp,
                   std::string& why) {
  // The stored slot order as the file's order: the compiler's ordering finds
  // each colour where it already is.
  Palette ordered = palette;
  orderPalette(ordered);
  for (int i = 0; i < 256; ++i) {
    const PaletteEntry &a = ordered[i], &b = palette[i];
    if (a.reserved != b.reserved || a.red != b.red || a.green != b.green || a.blue != b.blue) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "the palette is not in kiln's slot order: from these colours kiln puts (%d, %d, %d) in slot %d",
                    a.red, a.green, a.blue, i);
      why = text;
      return false;
    }
  }
  std::array<ShadeTable, 5> built = buildShadeTables(palette);
  for (int s = 0; s < 5; ++s)
    for (int i = 0; i < 256; ++i)
      if (built[s][i] != shades[s][i]) {
        char text[160];
        std::snprintf(text, sizeof text, "%s maps slot %d to %d; kiln's shading of this palette gives %d",
                      kShadeCodes[s], i, shades[s][i], built[s][i]);
        why = text;
        return false;
      }
  std::vector<uint32_t> colours;
  std::vector<uint8_t> swatch(256);
  for (int i = 0; i < 256; ++i) {
    const PaletteEntry& p = palette[i];
    colours.push_back(uint32_t(p.reserved) << 24 | uint32_t(p.red) << 16 | uint32_t(p.green) << 8 | p.blue);
    swatch[i] = uint8_t(i);
  }
  bmp = makeBmp8(16, 16, colours, swatch);
  return true;
}

}  // namespace kiln
