// BMP files as paint programs write them: the OS/2 core header (12 bytes,
// 3-byte colour entries) and the Windows headers of 40 bytes and more (52, 56,
// 108 and 124 add bit-field masks, colour space and profile fields); 1, 4 and
// 8 bits with a colour table, plain or run-length (RLE8, RLE4); 16, 24 and 32
// bits, plain or with bit-field masks; rows bottom-up or top-down. Every
// field is checked against the file before it is used.
#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "kiln/graphics/colour.h"
#include "kiln/graphics/image.h"

namespace kiln {

namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;

std::string format(const char* text, ...) {
  char buffer[256];
  va_list args;
  va_start(args, text);
  std::vsnprintf(buffer, sizeof buffer, text, args);
  va_end(args);
  return buffer;
}

const char* compressionName(uint32_t compression) {
  switch (compression) {
    case kRle8: return "RLE8";
    case kRle4: return "RLE4";
    case kBitFields: return "bit-field";
    case 4: return "JPEG";
    case 5: return "PNG";
    case 6: return "alpha bit-field";
    default: return "unknown";
  }
}

// One colour channel of a bit-field pixel.
struct Field {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
};

bool makeField(uint32_t mask, Field& f) {
  f.mask = mask;
  if (mask == 0) return true;
  while (!((mask >> f.shift) & 1)) ++f.shift;
  uint32_t run = mask >> f.shift;
  while (f.bits < 32 && ((run >> f.bits) & 1)) ++f.bits;
  return f.bits == 32 || (run >> f.bits) == 0;  // one run of bits, no holes
}

uint8_t channel(uint32_t value, const Field& f) { return scaleField((value & f.mask) >> f.shift, f.bits); }

// The run-length pixels from offset to the end of the file: encoded runs,
// absolute runs, end of line, delta and end of bitmap. What a delta or an early
// end of line skips keeps index 0.
std::string decodeRle(const uint8_t* p, const uint8_t* end, bool rle8, bool topDown, Picture& picture) {
  const int W = picture.width, H = picture.height;
  long x = 0, row = 0;  // row counts stored rows, first stored first
  const std::string pastPicture = "ERROR: the run-length pixels run past the picture\n";
  const std::string pastFile = "ERROR: the run-length pixels run past the end of the file\n";
  auto put = [&](unsigned v) {
    if (x >= W || row >= H) return false;
    long y = topDown ? row : H - 1 - row;
    picture.indices[size_t(y) * size_t(W) + size_t(x++)] = uint8_t(v);
    return true;
  };
  for (;;) {
    if (end - p < 2) return pastFile;
    const uint8_t n = p[0], c = p[1];
    p += 2;
    if (n > 0) {  // n pixels of one byte (RLE4: its two nibbles in turn)
      for (int i = 0; i < n; ++i)
        if (!put(rle8 ? c : (i & 1) ? c & 0x0F : c >> 4)) return pastPicture;
    } else if (c == 0) {  // end of line
      x = 0;
      ++row;
    } else if (c == 1) {  // end of bitmap
      return "";
    } else if (c == 2) {  // delta: right and up
      if (end - p < 2) return pastFile;
      x += p[0];
      row += p[1];
      p += 2;
      if (x > W || row > H) return pastPicture;
    } else {  // c pixels as they are, padded to an even byte count
      const size_t bytes = rle8 ? c : (size_t(c) + 1) / 2;
      if (size_t(end - p) < bytes) return pastFile;
      for (int i = 0; i < c; ++i)
        if (!put(rle8 ? p[i] : (i & 1) ? p[i / 2] & 0x0F : p[i / 2] >> 4)) return pastPicture;
      p += std::min(bytes + (bytes & 1), size_t(end - p));
    }
  }
}

}  // namespace

std::string readBmpHeader(const std::vector<uint8_t>& file, ImageHeader& header) {
  const uint8_t* b = file.data();
  const unsigned long real = file.size();
  if (real >= 6 && readLE32(b + 2) != real)
    return format("ERROR: file size %ld != %ld\n", long(readLE32(b + 2)), long(real));
  const std::string cut = format("ERROR: .bmp header cut short: the file has only %lu bytes\n", real);
  if (real < 18) return cut;
  const unsigned long infoSize = readLE32(b + 14);
  const std::string unsupported = format("ERROR: unsupported .bmp information header of %lu bytes\n", infoSize);
  if (infoSize != 12 && infoSize < 40) return unsupported;
  if (real < 14 + (infoSize == 12 ? 12 : 40)) return cut;
  if (infoSize > real - 14) return unsupported;
  header.infoSize = uint32_t(infoSize);
  if (infoSize == 12) {  // OS/2: unsigned 16-bit sizes, always bottom-up, never compressed
    header.width = readLE16(b + 18);
    header.height = readLE16(b + 20);
    header.bitsPerPixel = readLE16(b + 24);
  } else {
    header.width = readLE32Signed(b + 18);
    long long height = readLE32Signed(b + 22);
    header.topDown = height < 0;
    header.height = height < 0 ? -height : height;
    header.bitsPerPixel = readLE16(b + 28);
    header.compression = readLE32(b + 30);
    header.coloursUsed = readLE32(b + 46);
  }
  const int bpp = header.bitsPerPixel;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return format("ERROR: only 1, 4, 8, 16, 24 or 32 bit .bmp files supported.  Found %d\n", bpp);
  return "";
}

std::string decodeBmp(const std::vector<uint8_t>& file, const ImageHeader& header, Picture& picture) {
  const uint8_t* b = file.data();
  const unsigned long real = file.size();
  const int bpp = header.bitsPerPixel;
  const uint32_t compression = header.compression;
  const unsigned long infoSize = header.infoSize;
  const bool windows = infoSize >= 40;
  const bool bitFields = compression == kBitFields;
  // Bit-field masks follow a 40-byte header and are part of the later ones;
  // other headers of 40 bytes or more (OS/2's 64) have none.
  const bool masksInHeader = infoSize == 52 || infoSize == 56 || infoSize == 108 || infoSize == 124;
  const bool known = compression == kRgb || (compression == kRle8 && bpp == 8) ||
                     (compression == kRle4 && bpp == 4) ||
                     (bitFields && (bpp == 16 || bpp == 32) && (infoSize == 40 || masksInHeader));
  if (!known)
    return format("ERROR: %s compression is not supported for %d bit .bmp files (compression method %lu)\n",
                  compressionName(compression), bpp, (unsigned long)compression);

  const unsigned long tableStart = 14 + infoSize + (bitFields && infoSize == 40 ? 12 : 0);
  if (tableStart > real) return format("ERROR: .bmp header cut short: the file has only %lu bytes\n", real);
  const unsigned long offset = readLE32(b + 10);
  if (offset < tableStart) return format("ERROR: the pixel data at offset %lu overlaps the header\n", offset);

  picture.width = int(header.width);
  picture.height = int(header.height);
  picture.bitsPerPixel = bpp;
  picture.colourTable = bpp <= 8;
  const int W = picture.width, H = picture.height;

  if (bpp <= 8) {
    // The colours are the entries between the header and the pixel data. A
    // table shorter than its count (a count of 0 over a few entries is common
    // in hand-made files) is read as far as it goes; pixels are never taken
    // for colours.
    const unsigned long room = 1ul << bpp;
    unsigned long colours = windows && header.coloursUsed ? header.coloursUsed : room;
    if (colours > room)
      return format("ERROR: %lu colours used; a %d bit .bmp file holds at most %lu\n", colours, bpp, room);
    const unsigned entrySize = windows ? 4 : 3;
    colours = std::min(colours, (std::min(offset, real) - tableStart) / entrySize);
    for (unsigned long i = 0; i < colours; ++i) {
      const uint8_t* e = b + tableStart + entrySize * i;
      picture.colours.push_back(windows ? readLE32(e) : uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0]);
    }
  }

  if (compression == kRle8 || compression == kRle4) {
    picture.indices.assign(size_t(W) * size_t(H), 0);
    if (offset >= real) return format("ERROR: the pixel data at offset %lu lies past the end of the file\n", offset);
    return decodeRle(b + offset, b + real, compression == kRle8, header.topDown, picture);
  }

  const size_t rowBytes = (size_t(W) * size_t(bpp) + 31) / 32 * 4;
  const unsigned long long need = (unsigned long long)rowBytes * size_t(H);
  if (offset > real || need > real - offset)
    return format("ERROR: the pixel data (%llu bytes from offset %lu) runs past the end of the file\n", need, offset);

  Field red, green, blue, alpha;
  if (bpp == 16 || bpp == 32) {
    uint32_t masks[4] = {bpp == 16 ? 0x7C00u : 0xFF0000u, bpp == 16 ? 0x3E0u : 0xFF00u, bpp == 16 ? 0x1Fu : 0xFFu,
                         0};  // without an alpha mask a pixel is opaque
    if (bitFields) {
      const uint8_t* m = b + 14 + 40;
      for (int i = 0; i < 3; ++i) masks[i] = readLE32(m + 4 * i);
      masks[3] = infoSize >= 56 ? readLE32(m + 12) : 0;
    }
    for (int i = 0; i < 4; ++i)
      if (!makeField(masks[i], i == 0 ? red : i == 1 ? green : i == 2 ? blue : alpha))
        return format("ERROR: .bmp bit-field mask %08lx is not one run of bits\n", (unsigned long)masks[i]);
  }

  // One loop per depth, the rows taken top first: thousands of brushes go
  // through here.
  if (picture.colourTable)
    picture.indices.reserve(size_t(W) * size_t(H));
  else
    picture.pixels.resize(size_t(W) * size_t(H));
  std::vector<uint8_t>& index = picture.indices;
  for (int y = 0; y < H; ++y) {
    const uint8_t* row = b + offset + rowBytes * size_t(header.topDown ? y : H - 1 - y);
    uint32_t* out = picture.colourTable ? nullptr : picture.pixels.data() + size_t(y) * size_t(W);
    switch (bpp) {
      case 1:
        for (int x = 0; x < W; ++x) index.push_back((row[x / 8] >> (7 - x % 8)) & 1);
        break;
      case 4:
        for (int x = 0; x < W; ++x) index.push_back((x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4);
        break;
      case 8:
        index.insert(index.end(), row, row + W);
        break;
      case 24:
        for (int x = 0; x < W; ++x, row += 3)
          out[x] = 0xFF000000u | uint32_t(row[2]) << 16 | uint32_t(row[1]) << 8 | row[0];
        break;
      default:
        if (bpp == 32 && red.mask == 0xFF0000 && green.mask == 0xFF00 && blue.mask == 0xFF &&
            (alpha.mask == 0 || alpha.mask == 0xFF000000u)) {
          // The layout paint programs write: each field 8 bits, so a pixel is its word.
          const uint32_t opaque = alpha.mask ? 0 : 0xFF000000u;
          for (int x = 0; x < W; ++x) out[x] = readLE32(row + 4 * size_t(x)) | opaque;
          break;
        }
        for (int x = 0; x < W; ++x) {
          const uint32_t v = bpp == 16 ? readLE16(row + 2 * size_t(x)) : readLE32(row + 4 * size_t(x));
          const uint32_t a = alpha.mask ? channel(v, alpha) : 0xFF;
          out[x] = a << 24 | uint32_t(channel(v, red)) << 16 | uint32_t(channel(v, green)) << 8 | channel(v, blue);
        }
    }
  }
  if (bpp > 8) indexColours(picture);
  return "";
}

}  // namespace kiln
