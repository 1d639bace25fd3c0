// kiln's own PNG reader against stb_image on the same bytes: where kiln's
// reads a picture, stb must read the same colours. (What it declines goes to
// stb as before; a slot past the palette, which stb reads from whatever its
// memory held, is kiln's own fault.) An odd first byte builds a well-formed file from the
// rest (header fields, palette, transparency and filtered rows, deflated
// here), so that the rows and colours are explored and not only the
// chunk walk; an even one takes the rest as the file, its signature added.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kiln/graphics/image.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put32(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}

void chunk(Bytes& png, const char* type, const Bytes& data) {
  put32(png, uint32_t(data.size()));
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  put32(png, 0);  // neither reader checks the CRC
}

// Header bytes: colour type, depth, width, height, palette size, tRNS
// length, IDAT split; then the palette, the tRNS bytes and the rows.
Bytes build(const uint8_t* d, size_t n) {
  if (n < 7) return {};
  static const uint8_t kTypes[] = {0, 2, 3, 4, 6};
  static const uint8_t kDepths[] = {1, 2, 4, 8};
  const uint8_t type = kTypes[d[0] % 5], depth = kDepths[d[1] % 4];
  const uint32_t w = d[2] % 40 + 1, h = d[3] % 40 + 1, paletteSize = d[4], trnsLength = d[5] % 8, split = d[6] % 4;
  d += 7;
  n -= 7;
  auto take = [&](size_t k) {
    Bytes out(d, d + std::min(k, n));
    out.resize(k, 0);
    const size_t used = std::min(k, n);
    d += used;
    n -= used;
    return out;
  };
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, ihdr;
  put32(ihdr, w);
  put32(ihdr, h);
  ihdr.insert(ihdr.end(), {depth, type, 0, 0, 0});
  chunk(png, "IHDR", ihdr);
  if (type == 3) {
    chunk(png, "PLTE", take(3 * size_t(paletteSize)));
    if (trnsLength) chunk(png, "tRNS", take(std::min<uint32_t>(trnsLength * 37, paletteSize)));
  } else if (trnsLength && (type == 0 || type == 2)) {
    chunk(png, "tRNS", take(type == 0 ? 2 : 6));
  }
  const size_t channels = type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
  const size_t rowBytes = (w * channels * depth + 7) / 8;
  Bytes raw = take((rowBytes + 1) * h);
  for (uint32_t y = 0; y < h; ++y) raw[y * (rowBytes + 1)] %= 6;  // filters 0 to 4, now and then a bad one
  uLongf packedSize = compressBound(uLong(raw.size()));
  Bytes packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 6) != Z_OK) return {};
  packed.resize(packedSize);
  const size_t parts = split + 1, step = (packed.size() + parts - 1) / parts;
  for (size_t at = 0; at < packed.size(); at += step)
    chunk(png, "IDAT", Bytes(packed.begin() + long(at), packed.begin() + long(std::min(packed.size(), at + step))));
  chunk(png, "IEND", {});
  return png;
}

// The picture as colours, alpha, red, green, blue, one per pixel.
std::vector<uint32_t> colours(const kiln::Picture& p) {
  std::vector<uint32_t> c;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) c.push_back(p.colours.at(p.at(x, y)));
  return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  Bytes file;
  if (data[0] & 1) {
    file = build(data + 1, size - 1);
    if (file.empty()) return 0;
  } else {
    file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    file.insert(file.end(), data + 1, data + size);
  }
  // kiln reads no picture of more than 2^24 pixels (decodeImage refuses it
  // before either reader is called).
  if (file.size() >= 24) {
    const uint64_t w = uint64_t(file[16]) << 24 | file[17] << 16 | file[18] << 8 | file[19];
    const uint64_t h = uint64_t(file[20]) << 24 | file[21] << 16 | file[22] << 8 | file[23];
    if (w * h > (1u << 24)) return 0;
  }
  // What kiln's reader declines goes to stb as it is (stb is not always
  // deterministic on a damaged stream); what it reads, stb must read alike.
  kiln::Picture fast, stb;
  if (kiln::decodePngFast(file, fast) != kiln::FastPng::decoded) return 0;
  const std::string fault = kiln::decodePngStb(file, stb);
  if (!fault.empty() || fast.width != stb.width || fast.height != stb.height || colours(fast) != colours(stb)) {
    std::fprintf(stderr, "kiln and stb differ: kiln %dx%d, stb \"%s\" %dx%d\n", fast.width, fast.height,
                 fault.c_str(), stb.width, stb.height);
    std::abort();
  }
  return 0;
}
