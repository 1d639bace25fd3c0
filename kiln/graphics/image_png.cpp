// kiln's own reader for the PNGs paint programs write most: not interlaced,
// 8 bits a sample (1, 2 and 4 as well for gray and colour-table pictures).
// It gives the same colours as stb_image, which reads everything else and
// every stream this reader declines, so that each fault message stays stb's.
// A colour-table picture is not expanded to RGBA and indexed again: its
// slots are handed on with its table.

#ifdef KIT_HAVE_LIBDEFLATE
#include <libdeflate.h>
#else
#include <zlib.h>
#endif

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <memory>

#include "kiln/graphics/image.h"

namespace kiln {

namespace {

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

constexpr uint32_t chunkType(const char (&t)[5]) {
  return uint32_t(uint8_t(t[0])) << 24 | uint32_t(uint8_t(t[1])) << 16 | uint32_t(uint8_t(t[2])) << 8 | uint8_t(t[3]);
}

// What the chunks before IEND say, as far as this reader takes them.
struct PngStream {
  uint32_t width = 0, height = 0;
  int depth = 0, colourType = 0;
  int channels = 1;               // samples a pixel as stored
  const uint8_t* plte = nullptr;  // the colour table's red, green, blue triples
  uint32_t paletteSize = 0;
  const uint8_t* trns = nullptr;  // the alpha of the first trnsSize slots
  uint32_t trnsSize = 0;
  bool key = false;               // gray or RGB tRNS: the one transparent colour
  uint8_t keySample[3] = {};      // as stb compares it: scaled to 8 bits
  std::vector<std::pair<const uint8_t*, uint32_t>> data;  // the IDAT chunks
};

// Gray of 1, 2 and 4 bits is scaled to 8 by a factor.
uint8_t grayScale(int depth) { return depth == 1 ? 0xFF : depth == 2 ? 0x55 : depth == 4 ? 0x11 : 1; }

// Slot v's colour as alpha, red, green, blue; v below paletteSize.
uint32_t slotColour(const PngStream& s, uint32_t v) {
  const uint8_t* c = s.plte + 3 * v;
  const uint32_t alpha = v < s.trnsSize ? s.trns[v] : 0xFF;
  return alpha << 24 | uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2];
}

// Walks the chunks; false for anything this reader leaves to stb.
bool readChunks(const std::vector<uint8_t>& file, PngStream& s) {
  const uint8_t* const end = file.data() + file.size();
  const uint8_t* at = file.data() + 8;
  bool first = true, havePalette = false, haveTrns = false;
  for (;;) {
    if (end - at < 8) return false;
    const uint32_t length = be32(at), type = be32(at + 4);
    const uint8_t* body = at + 8;
    if (type == chunkType("IEND")) return !first && !s.data.empty();
    if (uint64_t(end - body) < uint64_t(length) + 4) return false;  // the body and its CRC
    at = body + length + 4;
    if (first) {
      if (type != chunkType("IHDR") || length != 13) return false;
      first = false;
      s.width = be32(body);
      s.height = be32(body + 4);
      s.depth = body[8];
      s.colourType = body[9];
      if (body[10] != 0 || body[11] != 0 || body[12] != 0) return false;  // methods, interlace
      if (s.width == 0 || s.height == 0 || s.width > (1u << 16) || s.height > (1u << 16)) return false;
      if ((1u << 30) / s.width / 4 < s.height) return false;
      switch (s.colourType) {
        case 0: s.channels = 1; break;
        case 2: s.channels = 3; break;
        case 3: s.channels = 1; break;
        case 4: s.channels = 2; break;
        case 6: s.channels = 4; break;
        default: return false;
      }
      const bool lowDepth = s.depth == 1 || s.depth == 2 || s.depth == 4;
      if (s.depth != 8 && !(lowDepth && (s.colourType == 0 || s.colourType == 3))) return false;
      continue;
    }
    if (type == chunkType("PLTE")) {
      if (havePalette || !s.data.empty() || length > 768 || length % 3 != 0) return false;
      havePalette = true;
      s.paletteSize = length / 3;
      s.plte = body;  // its colours are taken for the slots the pixels use
    } else if (type == chunkType("tRNS")) {
      if (haveTrns || !s.data.empty()) return false;
      haveTrns = true;
      if (s.colourType == 3) {
        if (!havePalette || s.paletteSize == 0 || length > s.paletteSize) return false;
        s.trns = body;
        s.trnsSize = length;
      } else if (s.colourType == 0 || s.colourType == 2) {
        if (length != uint32_t(2 * s.channels)) return false;
        s.key = true;
        for (int k = 0; k < s.channels; ++k) s.keySample[k] = uint8_t(body[2 * k + 1] * grayScale(s.depth));
      } else {
        return false;
      }
    } else if (type == chunkType("IDAT")) {
      if (s.colourType == 3 && s.paletteSize == 0) return false;
      if (length) s.data.emplace_back(body, length);
    } else if ((type & (1u << 29)) == 0) {
      return false;  // another critical chunk, IHDR again among them
    }
  }
}

// Inflates the IDAT chunks into raw, which must fill. The zlib header is
// checked as stb checks it; the checksum, which stb ignores, is not. stb
// refuses a stream whose last codes it must decode from fewer than 16 bits of
// input: here, the stream must be followed by two bytes at least (the four of
// its checksum, as a rule).
bool inflateData(const PngStream& s, std::vector<uint8_t>& raw) {
  std::vector<std::pair<const uint8_t*, uint32_t>> parts = s.data;
  std::vector<uint8_t> joined;
#ifdef KIT_HAVE_LIBDEFLATE
  const bool join = parts.size() > 1;  // libdeflate takes the stream whole
#else
  const bool join = parts[0].second < 3;  // stb wants the header and more in hand
#endif
  if (join) {
    for (const auto& d : parts) joined.insert(joined.end(), d.first, d.first + d.second);
    if (joined.size() < 3) return false;
    parts.assign(1, {joined.data(), uint32_t(joined.size())});
  }
  if (parts[0].second < 3) return false;
  const uint8_t cmf = parts[0].first[0], flg = parts[0].first[1];
  if ((cmf * 256 + flg) % 31 != 0 || (flg & 32) || (cmf & 15) != 8) return false;
  parts[0].first += 2;
  parts[0].second -= 2;

#ifdef KIT_HAVE_LIBDEFLATE
  // Rows past the picture would not fit: stb takes them, so such a stream is
  // declined and left to it.
  // One decompressor a thread, kept: making one clears some 10 KB, a
  // quarter of what inflating a brush takes.
  struct Free {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
  };
  thread_local std::unique_ptr<libdeflate_decompressor, Free> d(libdeflate_alloc_decompressor());
  if (!d) return false;
  size_t used = 0, made = 0;
  return libdeflate_deflate_decompress_ex(d.get(), parts[0].first, parts[0].second, raw.data(), raw.size(), &used,
                                          &made) == LIBDEFLATE_SUCCESS &&
         made == raw.size() && parts[0].second - used >= 2;
#else
  // What follows the picture's rows is inflated too and dropped, since stb
  // takes surplus rows but refuses a stream damaged past them.
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  uint8_t spill[4096];
  uint64_t spilled = 0;
  z.next_out = raw.data();
  z.avail_out = uInt(raw.size());
  int r = Z_OK;
  size_t i = 0;
  for (; i < parts.size(); ++i) {
    z.next_in = const_cast<Bytef*>(parts[i].first);
    z.avail_in = parts[i].second;
    for (;;) {
      if (z.avail_out == 0) {
        if ((spilled += sizeof spill) > (uint64_t(1) << 30)) {
          r = Z_MEM_ERROR;
          break;
        }
        z.next_out = spill;
        z.avail_out = sizeof spill;
      }
      const uInt inBefore = z.avail_in, outBefore = z.avail_out;
      r = inflate(&z, Z_FINISH);
      if (r == Z_STREAM_END || (r != Z_OK && r != Z_BUF_ERROR)) break;
      if (z.avail_in == 0 && z.avail_out != 0) break;  // on to the next chunk
      if (z.avail_in == inBefore && z.avail_out == outBefore) {
        r = Z_DATA_ERROR;  // no progress
        break;
      }
    }
    if (r != Z_OK && r != Z_BUF_ERROR) break;
  }
  const bool filled = spilled > 0 || z.avail_out == 0;
  uint64_t after = z.avail_in;
  for (size_t j = i + 1; j < parts.size(); ++j) after += parts[j].second;
  inflateEnd(&z);
  return r == Z_STREAM_END && filled && after >= 2;
#endif
}

uint8_t paeth(int a, int b, int c) {
  const int p = a + b - c, pa = p > a ? p - a : a - p, pb = p > b ? p - b : b - p, pc = p > c ? p - c : c - p;
  return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Undoes the row filters in place; false for a filter type past 4. The row
// above the first is zeros.
bool unfilter(uint8_t* raw, size_t rowBytes, uint32_t rows, size_t bpp) {
  std::vector<uint8_t> zeroRow(rowBytes, 0);
  const uint8_t* prior = zeroRow.data();
  for (uint32_t y = 0; y < rows; ++y, raw += rowBytes + 1) {
    uint8_t* row = raw + 1;
    switch (raw[0]) {
      case 0:
        break;
      case 1:
        for (size_t i = bpp; i < rowBytes; ++i) row[i] = uint8_t(row[i] + row[i - bpp]);
        break;
      case 2:
        for (size_t i = 0; i < rowBytes; ++i) row[i] = uint8_t(row[i] + prior[i]);
        break;
      case 3:
        for (size_t i = 0; i < bpp && i < rowBytes; ++i) row[i] = uint8_t(row[i] + (prior[i] >> 1));
        for (size_t i = bpp; i < rowBytes; ++i) row[i] = uint8_t(row[i] + ((prior[i] + row[i - bpp]) >> 1));
        break;
      case 4:
        for (size_t i = 0; i < bpp && i < rowBytes; ++i) row[i] = uint8_t(row[i] + paeth(0, prior[i], 0));
        for (size_t i = bpp; i < rowBytes; ++i)
          row[i] = uint8_t(row[i] + paeth(row[i - bpp], prior[i], prior[i - bpp]));
        break;
      default:
        return false;
    }
    prior = row;
  }
  return true;
}

// The sample of pixel x in a row of 1, 2, 4 or 8 bits.
inline uint8_t sampleAt(const uint8_t* row, uint32_t x, int depth) {
  if (depth == 8) return row[x];
  const uint32_t bit = x * uint32_t(depth);
  return uint8_t(row[bit >> 3] >> (8 - depth - int(bit & 7)) & ((1u << depth) - 1));
}

// Numbers the pixels' colours a row at a time: a byte each while the
// picture has at most 256 colours, 32 bits from the 257th on.
class PixelWriter {
 public:
  explicit PixelWriter(Picture& p) : p_(p), indexer_(p.colours), row_(size_t(p.width)) {
    p_.indices.resize(size_t(p.width) * size_t(p.height));
  }
  uint32_t* row() { return row_.data(); }
  void put() {  // the row's colours, alpha, red, green, blue
    const size_t W = row_.size();
    uint32_t last = row_[0], index = indexer_.index(last);
    if (!wide_ && index > 255) widen();
    if (!wide_) {
      uint8_t* out = p_.indices.data() + n_;
      for (size_t x = 0; x < W; ++x) {
        if (row_[x] != last) {
          last = row_[x];
          index = indexer_.index(last);
          if (index > 255) {
            widen();
            return putWide(x);
          }
        }
        out[x] = uint8_t(index);
      }
      n_ += W;
      return;
    }
    putWide(0);
  }

 private:
  void putWide(size_t from) {
    uint32_t* out = p_.pixels.data() + n_;
    for (size_t x = from; x < row_.size(); ++x) out[x] = indexer_.index(row_[x]);
    n_ += row_.size();
  }
  void widen() {
    p_.pixels.assign(p_.indices.begin(), p_.indices.end());
    p_.indices = {};
    wide_ = true;
  }
  Picture& p_;
  ColourIndexer indexer_;
  std::vector<uint32_t> row_;
  size_t n_ = 0;
  bool wide_ = false;
};

}  // namespace

bool readPngHeaderFast(const std::vector<uint8_t>& file, ImageHeader& header) {
  PngStream s;
  if (file.size() < 8 || file.size() > 0x7FFFFFFF || imageKind(file) != ImageKind::png || !readChunks(file, s))
    return false;
  header.width = s.width;
  header.height = s.height;
  header.bitsPerPixel = 32;
  return true;
}

FastPng decodePngFast(const std::vector<uint8_t>& file, Picture& picture, bool everySlot) {
  picture = Picture{};
  if (file.size() < 8 || file.size() > 0x7FFFFFFF || imageKind(file) != ImageKind::png) return FastPng::declined;
  PngStream s;
  if (!readChunks(file, s)) return FastPng::declined;
  const size_t rowBytes = (size_t(s.width) * size_t(s.channels) * size_t(s.depth) + 7) / 8;
  const size_t bpp = s.depth < 8 ? 1 : size_t(s.channels);
  std::vector<uint8_t> raw((rowBytes + 1) * s.height);
  if (!inflateData(s, raw) || !unfilter(raw.data(), rowBytes, s.height, bpp)) return FastPng::declined;

  const uint32_t W = s.width, H = s.height;
  picture.width = int(W);
  picture.height = int(H);
  picture.bitsPerPixel = 32;
  if (s.colourType == 3) {
    const size_t n = size_t(W) * H;
    uint8_t top = 0;  // the highest slot a pixel uses
    if (s.depth == 8) {
      for (uint32_t y = 0; y < H; ++y) {  // row y moves to or before where it is
        uint8_t* to = raw.data() + size_t(y) * W;
        std::memmove(to, raw.data() + y * (rowBytes + 1) + 1, W);
        if (s.paletteSize < 256)
          for (uint32_t x = 0; x < W; ++x) top = std::max(top, to[x]);
      }
      raw.resize(n);
      picture.indices = std::move(raw);
    } else {
      picture.indices.resize(n);
      uint8_t* out = picture.indices.data();
      for (uint32_t y = 0; y < H; ++y) {
        const uint8_t* row = raw.data() + y * (rowBytes + 1) + 1;
        for (uint32_t x = 0; x < W; ++x, ++out) {
          *out = sampleAt(row, x, s.depth);
          top = std::max(top, *out);
        }
      }
    }
    if (top >= s.paletteSize) {
      picture = Picture{};
      return FastPng::badIndex;
    }
    picture.colours.resize(s.paletteSize);
    for (uint32_t v = 0; v < s.paletteSize; ++v) picture.colours[v] = slotColour(s, v);
    picture.everySlot = true;
    if (!everySlot) keepUsedSlots(picture);
    return FastPng::decoded;
  }

  PixelWriter out(picture);
  const uint8_t scale = grayScale(s.depth);
  for (uint32_t y = 0; y < H; ++y) {
    const uint8_t* in = raw.data() + y * (rowBytes + 1) + 1;
    uint32_t* row = out.row();
    switch (s.colourType) {
      case 0:
        for (uint32_t x = 0; x < W; ++x) {
          const uint8_t g = uint8_t(sampleAt(in, x, s.depth) * scale);
          row[x] = (s.key && g == s.keySample[0] ? 0 : 0xFF000000u) | uint32_t(g) * 0x010101u;
        }
        break;
      case 2:
        for (uint32_t x = 0; x < W; ++x, in += 3) {
          const bool clear = s.key && in[0] == s.keySample[0] && in[1] == s.keySample[1] && in[2] == s.keySample[2];
          row[x] = (clear ? 0 : 0xFF000000u) | uint32_t(in[0]) << 16 | uint32_t(in[1]) << 8 | in[2];
        }
        break;
      case 4:
        for (uint32_t x = 0; x < W; ++x, in += 2) row[x] = uint32_t(in[1]) << 24 | uint32_t(in[0]) * 0x010101u;
        break;
      default:
        if constexpr (std::endian::native == std::endian::little) {
          // Red, green, blue, alpha read as one word: swap red and blue.
          std::memcpy(row, in, size_t(W) * 4);
          for (uint32_t x = 0; x < W; ++x) {
            const uint32_t v = row[x];
            row[x] = (v & 0xFF00FF00u) | (v >> 16 & 0xFF) | (v & 0xFF) << 16;
          }
        } else {
          for (uint32_t x = 0; x < W; ++x, in += 4)
            row[x] = uint32_t(in[3]) << 24 | uint32_t(in[0]) << 16 | uint32_t(in[1]) << 8 | in[2];
        }
        break;
    }
    out.put();
  }
  return FastPng::decoded;
}

}  // namespace kiln
