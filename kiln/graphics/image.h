#pragma once
// The image reader of the graphics compilers: BMP (every header a paint
// program writes, colour tables, run-length and bit-field pixels) and PNG,
// told apart by their first bytes, decoded into one kind of picture.

#include <cstdint>
#include <string>
#include <vector>

namespace kiln {

enum class ImageKind { other, bmp, png };

// The kind of a file's bytes, by its signature, whatever its name.
ImageKind imageKind(const std::vector<uint8_t>& file);

// What the header of an image says, read before any pixel is decoded so that
// a caller can refuse a size it cannot store first.
struct ImageHeader {
  ImageKind kind = ImageKind::other;
  long long width = 0;
  long long height = 0;  // rows of the picture (a BMP's stored sign is in topDown)
  int bitsPerPixel = 0;  // as stored (a PNG reports 32: it is decoded to RGBA)
  // BMP only.
  uint32_t infoSize = 0;    // 12 for the OS/2 core header
  bool topDown = false;     // rows stored top first (negative height field)
  uint32_t compression = 0;
  uint32_t coloursUsed = 0;  // the field as stored (none in an OS/2 header)
};

// A decoded picture, top row first. With a colour table (BMP of 1, 4 or 8
// bits) the pixels are `indices` into the file's table, whose entries are
// kept as stored: reserved byte, red, green, blue from the high byte down; an
// index may lie past the table, which is the caller's fault to report.
// Without one, `pixels` index the picture's distinct colours, alpha, red,
// green, blue from the high byte down, in the order they first appear; a
// PNG of at most 256 colours gives those numbers in `indices` instead. A PNG
// with a colour table gives its slots in `indices` and its table in
// `colours` (alpha, red, green, blue), each slot no pixel uses holding the
// colour of one that is used: only the colours drawn are ever looked at.
struct Picture {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  bool colourTable = false;
  std::vector<uint32_t> colours;
  std::vector<uint8_t> indices;  // width * height, with a colour table
  std::vector<uint32_t> pixels;  // width * height, without one (or empty)
  // colours is the file's whole colour table (a PNG's), slots no pixel uses
  // included; keepUsedSlots narrows it to the slots drawn.
  bool everySlot = false;

  uint32_t at(int x, int y) const {
    const size_t i = size_t(y) * size_t(width) + size_t(x);
    return indices.empty() ? pixels[i] : indices[i];
  }
};

// Reads and checks the header: the texts returned are the fault messages
// (each ending in a line feed); empty means success.
std::string readImageHeader(const std::vector<uint8_t>& file, ImageHeader& header);

// Decodes the pixels described by header; a fault message, or empty.
// everySlot: a PNG's colour table may come whole (see Picture::everySlot).
std::string decodeImage(const std::vector<uint8_t>& file, const ImageHeader& header, Picture& picture,
                        bool everySlot = false);

// Gives each slot of a whole colour table that no pixel uses the colour of
// the first pixel, so that only the colours drawn are matched to a palette
// (and warned about). Nothing for a picture without everySlot.
void keepUsedSlots(Picture& picture);

// The two halves of decodeImage, one per format.
std::string readBmpHeader(const std::vector<uint8_t>& file, ImageHeader& header);
std::string decodeBmp(const std::vector<uint8_t>& file, const ImageHeader& header, Picture& picture);
std::string readPngHeader(const std::vector<uint8_t>& file, ImageHeader& header);
std::string decodePng(const std::vector<uint8_t>& file, Picture& picture, bool everySlot = false);

// decodePng's two readers: kiln's own for the common PNGs, stb_image for
// every other and every one the first declines. A pixel whose colour index
// lies past the palette is a fault of the file (stb would give whatever
// its memory held).
enum class FastPng { decoded, declined, badIndex };
FastPng decodePngFast(const std::vector<uint8_t>& file, Picture& picture, bool everySlot = false);
// The size from the header of a PNG the first reader would take; false for
// any other, whose header stb reads.
bool readPngHeaderFast(const std::vector<uint8_t>& file, ImageHeader& header);
std::string decodePngStb(const std::vector<uint8_t>& file, Picture& picture);

// Turns a picture whose pixels hold alpha, red, green, blue into one whose
// pixels index its distinct colours: each colour is then converted once.
void indexColours(Picture& picture);

// Numbers colours (alpha, red, green, blue) in the order they first appear,
// appending each new one to `colours`.
class ColourIndexer {
 public:
  explicit ColourIndexer(std::vector<uint32_t>& colours);
  uint32_t index(uint32_t colour) {
    for (size_t h = hash(colour);; h = (h + 1) & mask_) {
      const Slot& slot = slots_[h];
      if (slot.index == kEmpty) return insert(colour, h);
      if (slot.colour == colour) return slot.index;
    }
  }

 private:
  static constexpr uint32_t kEmpty = UINT32_MAX;
  struct Slot {
    uint32_t colour = 0, index = kEmpty;
  };
  size_t hash(uint32_t colour) const { return size_t((colour * 0x9E3779B97F4A7C15ull) >> 32) & mask_; }
  uint32_t insert(uint32_t colour, size_t h);
  std::vector<uint32_t>& colours_;
  std::vector<Slot> slots_;  // kept at most half full
  size_t mask_;
};

// An n-bit field value as 8 bits, v * 255 / (2^n - 1) rounded to nearest.
uint8_t scaleField(uint32_t value, int bits);

}  // namespace kiln
