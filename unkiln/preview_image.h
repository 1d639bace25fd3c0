#pragma once
// The pictures of a preview: records drawn as the device draws them, sheets
// and swatches, and their PNG files.

#include <array>
#include <cstdint>
#include <vector>

#include "kiln/graphics/bitmap_decode.h"
#include "kiln/graphics/graphics_state.h"

namespace unkiln {

// Red, green, blue, alpha a pixel, top row first.
struct Rgba {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;

  Rgba() = default;
  Rgba(int w, int h) : width(w), height(h), pixels(size_t(w) * size_t(h) * 4, 0) {}
  uint8_t* at(int x, int y) { return pixels.data() + (size_t(y) * size_t(width) + size_t(x)) * 4; }
  const uint8_t* at(int x, int y) const { return pixels.data() + (size_t(y) * size_t(width) + size_t(x)) * 4; }
};

// A picture of at most 256 colours: a byte a pixel, the index of its colour
// (0xRRGGBBAA), the colours in order of first appearance, top row first.
struct Indexed {
  int width = 0, height = 0;
  std::vector<uint32_t> colours;
  std::vector<uint8_t> pixels;

  Indexed() = default;
  Indexed(int w, int h) : width(w), height(h), pixels(size_t(w) * size_t(h), 0) {}
};

// A picture as written: indexed when it has at most 256 colours, else RGBA.
struct Picture {
  bool full = false;  // rgba holds it
  Indexed indexed;
  Rgba rgba;

  int width() const { return full ? rgba.width : indexed.width; }
  int height() const { return full ? rgba.height : indexed.height; }
};

// Gray level L of largest level M as the device shows it: 255 - L * 255 / M, rounded.
uint8_t grayShade(int level, int depth);

// A bitmap as drawn: transparent pixels alpha 0, gray levels at 2 and 4 bits,
// the palette's colours at 8 (palette required then), through shade when given.
Rgba drawBitmap(const kiln::DecodedBitmap& bitmap, const kiln::Palette* palette,
                const kiln::ShadeTable* shade = nullptr);

// The same, as a picture (indexed unless the bitmap shows more than 256 colours).
Picture drawPicture(const kiln::DecodedBitmap& bitmap, const kiln::Palette* palette);

// Gap in pixels between the pictures of a sheet.
constexpr int kGap = 2;

// The palette as 16 x 16 pixels, slot s at (s % 16, s / 16).
Rgba paletteSwatch(const kiln::Palette& palette);
// 256 x 5: row s is P s, pixel i the colour slot i becomes at that shade.
Rgba shadeSwatch(const kiln::Palette& palette, const std::array<kiln::ShadeTable, 5>& shades);

// The glyphs of a font, 16 a row on white: black for the first plane, gray
// where only a second plane draws.
Rgba fontSheet(const std::vector<uint32_t>& words);

// Where a picture went on a sheet.
struct Placement {
  int x = 0, y = 0;
};
struct Size {
  int width = 0, height = 0;
};
// Where pictures of these sizes go on a sheet, and the sheet's size.
Size sheetLayout(const std::vector<Size>& sizes, int maxWidth, std::vector<Placement>& placements);
// Pictures in order, left to right in rows no wider than maxWidth (or the
// widest picture), each row as tall as its tallest picture, on transparency.
Rgba contactSheet(const std::vector<const Rgba*>& pictures, int maxWidth, std::vector<Placement>& placements);

// The same with pictures: indexed when all of them are and they have at most
// 256 colours between them.
Picture contactSheet(const std::vector<const Picture*>& pictures, int maxWidth, std::vector<Placement>& placements);

// 8-bit bitmaps of one palette on a sheet (laid out as contactSheet() lays
// them out), drawn through each of a list of slot tables (a shade table, or
// none for the palette itself). Thousands of brushes at five shades would be
// five times the pixels to encode; here the sheets share their pixels, the
// palette slots in order of first appearance with transparency first, and
// differ only in the colours each slot stands for.
struct SheetVariants {
  Picture pixels;                              // indexed, with the first table's colours
  std::vector<std::vector<uint32_t>> colours;  // the colours of each table
  // When the slots and transparency pass 256: each table's sheet drawn apart.
  std::vector<Picture> apart;
  std::vector<Placement> placements;
};
SheetVariants sheetVariants(const std::vector<const kiln::DecodedBitmap*>& bitmaps, const kiln::Palette& palette,
                            const std::vector<const kiln::ShadeTable*>& tables, int maxWidth);

// An RGBA image as a picture: indexed when it has at most 256 colours.
Picture pictureOf(Rgba image);
// An indexed picture's colours pixel by pixel.
Rgba expanded(const Indexed& image);

// Each pixel as an n x n block.
Rgba enlarged(const Rgba& image, int n);
Picture enlarged(const Picture& image, int n);
Indexed enlarged(const Indexed& image, int n);

// The PNG file of the image (8-bit RGBA), written by stb_image_write.
std::vector<uint8_t> encodePng(const Rgba& image);
// A palette PNG (colour type 3, 8 bits, a tRNS chunk when some colour is not
// opaque): stb_image_write cannot write those, and one byte a pixel is a
// quarter of what the coder has to go through.
std::vector<uint8_t> encodePng(const Indexed& image);
std::vector<uint8_t> encodePng(const Picture& image);
// The compressed rows of an indexed picture, and its PNG file with another
// list of colours for the same indexes: pictures that differ only in their
// colours are compressed once.
std::vector<uint8_t> compressedRows(const Indexed& image);
std::vector<uint8_t> palettePng(const Indexed& image, const std::vector<uint32_t>& colours,
                                const std::vector<uint8_t>& rows);
// The same file in three pieces: signature, header and colours; the rows'
// chunk; the end. Files of the same rows share the middle one.
std::vector<uint8_t> pngHead(const Indexed& image, const std::vector<uint32_t>& colours);
std::vector<uint8_t> idatChunk(const std::vector<uint8_t>& rows);
const std::vector<uint8_t>& pngTail();

}  // namespace unkiln
