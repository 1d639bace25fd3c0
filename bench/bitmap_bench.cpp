// 8-bit bitmap conversion, as a brush or tile list drives it: the BMP read
// from disk, its colours matched to the active palette, the planes encoded and
// compressed when that pays, the record added. Reported as pixels per second.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <zlib.h>

// The PNGs are compressed as paint programs compress them: libpng hands its
// rows to zlib at the default level. stb_image_write's own compressor writes
// fixed Huffman codes only, which no paint program does.
static unsigned char* zlibCompress(unsigned char* data, int size, int* outSize, int) {
  uLongf n = compressBound(uLong(size));
  auto* out = static_cast<unsigned char*>(std::malloc(n));
  if (!out || compress2(out, &n, data, uLong(size), Z_DEFAULT_COMPRESSION) != Z_OK) {
    std::free(out);
    return nullptr;
  }
  *outSize = int(n);
  return out;
}
#define STBIW_ZLIB_COMPRESS zlibCompress
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include "stb_image_write.h"

#include "bench/bench_support.h"
#include "kiln/driver/run_state.h"
#include "kiln/graphics/bitmap.h"

namespace kiln::bench {
namespace {

// The device colours (blue outermost, as the palette compiler orders them, so
// slot 185 is pure red) and 40 of an adventure's own.
Palette benchPalette() {
  Palette p{};
  int n = 0;
  const int steps[6] = {0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00};
  for (int b : steps)
    for (int r : steps)
      for (int g : steps) p[n++] = {0, uint8_t(r), uint8_t(g), uint8_t(b)};
  Random rnd(7);
  while (n < 256) p[n++] = {0, uint8_t(rnd.below(256)), uint8_t(rnd.below(256)), uint8_t(rnd.below(256))};
  return p;
}

// An uncompressed bottom-up 8-bit BMP whose colour table is the palette (in
// reverse order, so every colour is looked up), or off it when asked.
std::vector<uint8_t> bmp(int size, int kind, bool offPalette) {
  Palette p = benchPalette();
  std::vector<uint8_t> b(54 + 1024 + size_t(size) * size, 0);
  auto le32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  le32(2, uint32_t(b.size()));
  le32(10, 54 + 1024);
  le32(14, 40);
  le32(18, uint32_t(size));
  le32(22, uint32_t(size));
  b[26] = 1;
  b[28] = 8;
  le32(46, 256);
  for (int i = 0; i < 256; ++i) {
    const PaletteEntry& e = p[255 - i];
    b[54 + 4 * i] = uint8_t(offPalette && i % 16 == 3 ? e.blue ^ 5 : e.blue);
    b[54 + 4 * i + 1] = e.green;
    b[54 + 4 * i + 2] = e.red;
  }
  const uint8_t red = 255 - 185;  // the table index of pure red
  Random r(8);
  uint8_t* px = b.data() + 54 + 1024;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      uint8_t v;
      if (kind == 0) v = uint8_t(y / (size / 4) * 17 + 3);  // flat bands: compresses
      else v = uint8_t(r.below(8) * 9 + 1);                 // texture
      if (kind == 2 && (x - size / 2) * (x - size / 2) + (y - size / 2) * (y - size / 2) > size * size / 5) v = red;
      px[y * size + x] = v == red && kind != 2 ? 0 : v;
    }
  return b;
}

// The same picture as a 32-bit BMP, the true-colour twin of an RGBA PNG: no
// alpha mask, so every pixel is opaque and pure red is transparent at depth 8.
std::vector<uint8_t> bmp32(int size, int kind, bool offPalette) {
  const std::vector<uint8_t> b = bmp(size, kind, offPalette);
  std::vector<uint8_t> out(b.begin(), b.begin() + 54);
  out[10] = 54;
  out[11] = 0;
  out[28] = 32;
  out[46] = 0;
  out[47] = 0;
  for (size_t i = 0; i < size_t(size) * size; ++i) {
    const uint8_t* e = b.data() + 54 + 4 * b[54 + 1024 + i];
    out.insert(out.end(), {e[0], e[1], e[2], 0});
  }
  const uint32_t n = uint32_t(out.size());
  for (int i = 0; i < 4; ++i) out[2 + i] = uint8_t(n >> (8 * i));
  return out;
}

// The same picture as a PNG, which converts to the same record: RGBA (pure
// red written as alpha 0), as stb_image_write gives it, or with a colour
// table and pure red transparent through tRNS, as paint programs save a brush
// of few colours.
std::vector<uint8_t> png(int size, int kind, bool offPalette, bool withTable) {
  std::vector<uint8_t> b = bmp(size, kind, offPalette), raw, out;
  auto append = [](void* context, void* data, int n) {
    auto* v = static_cast<std::vector<uint8_t>*>(context);
    v->insert(v->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + n);
  };
  auto isRed = [&](const uint8_t* e) { return e[2] == 255 && e[1] == 0 && e[0] == 0; };
  if (!withTable) {
    for (int y = size - 1; y >= 0; --y)
      for (int x = 0; x < size; ++x) {
        const uint8_t* e = b.data() + 54 + 4 * b[54 + 1024 + size_t(y) * size + x];
        raw.insert(raw.end(), {e[2], e[1], e[0], uint8_t(isRed(e) ? 0 : 255)});
      }
    stbi_write_png_to_func(append, &out, size, size, 4, raw.data(), size * 4);
    return out;
  }
  for (int y = size - 1; y >= 0; --y) {
    raw.push_back(0);  // filter: none
    raw.insert(raw.end(), b.begin() + 54 + 1024 + long(y) * size, b.begin() + 54 + 1024 + long(y + 1) * size);
  }
  auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> c(type, type + 4);
    c.insert(c.end(), data.begin(), data.end());
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : c) {
      crc ^= byte;
      for (int k = 0; k < 8; ++k) crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    crc = ~crc;
    const uint32_t n = uint32_t(data.size());
    out.insert(out.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    out.insert(out.end(), c.begin(), c.end());
    out.insert(out.end(), {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)});
  };
  out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const uint8_t s8 = uint8_t(size);
  chunk("IHDR", {0, 0, 0, s8, 0, 0, 0, s8, 8, 3, 0, 0, 0});
  std::vector<uint8_t> plte, trns;
  for (int i = 0; i < 256; ++i) {
    const uint8_t* e = b.data() + 54 + 4 * i;
    plte.insert(plte.end(), {e[2], e[1], e[0]});
    trns.push_back(isRed(e) ? 0 : 255);
  }
  chunk("PLTE", plte);
  chunk("tRNS", trns);
  int packed = 0;
  unsigned char* z = stbi_zlib_compress(raw.data(), int(raw.size()), &packed, 8);
  chunk("IDAT", std::vector<uint8_t>(z, z + packed));
  STBIW_FREE(z);
  chunk("IEND", {});
  return out;
}

// format: 0 BMP, 1 RGBA PNG, 2 PNG with a colour table, 3 32-bit BMP.
void BM_convertBitmap8(benchmark::State& state, int size, int kind, bool offPalette, int format = 0) {
  std::string dir = (std::filesystem::temp_directory_path() / "kiln-bench-XXXXXX").string();
  if (!mkdtemp(dir.data())) {
    state.SkipWithError("no temporary folder");
    return;
  }
  std::string path = dir + "/b.bmp";
  std::vector<uint8_t> file = format == 3 ? bmp32(size, kind, offPalette)
                              : format    ? png(size, kind, offPalette, format == 2)
                                          : bmp(size, kind, offPalette);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));

  RunState run;
  run.graphics.activePalette = benchPalette();
  run.graphics.havePalette = true;
  run.graphics.lastWarnedPath = path;  // the one off-palette warning is not what is measured
  run.graphics.countColours = false;    // as in a build without -hist
  Database db;
  BitmapTotals totals;
  for (auto _ : state) {
    convertBitmap(run.graphics, path, db, 1, "B8", 8, &run.graphics.activePalette, totals);
    db.recordData.clear();
    db.recordOffsets.clear();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * size * size);
  std::filesystem::remove_all(dir);
}

BENCHMARK_CAPTURE(BM_convertBitmap8, brush64_texture, 64, 1, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_convertBitmap8, brush64_masked, 64, 2, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_convertBitmap8, brush64_off_palette, 64, 1, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_convertBitmap8, tile128_flat, 128, 0, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_convertBitmap8, tile128_texture, 128, 1, false)->Unit(benchmark::kMicrosecond);
// PNG twins of the brushes: a PNG brush should cost at most twice its BMP.
BENCHMARK_CAPTURE(BM_convertBitmap8, brush64_flat, 64, 0, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_convertBitmap8, brush64_flat_png_table, 64, 0, false, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_convertBitmap8, brush64_texture_png_rgba, 64, 1, false, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_convertBitmap8, brush64_masked_png_rgba, 64, 2, false, 1)->Unit(benchmark::kMicrosecond);
// An RGBA PNG's true-colour twin: the same pixels as a 32-bit BMP.
BENCHMARK_CAPTURE(BM_convertBitmap8, brush64_texture_bmp32, 64, 1, false, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_convertBitmap8, brush64_masked_bmp32, 64, 2, false, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_convertBitmap8, brush64_texture_png_table, 64, 1, false, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_convertBitmap8, brush64_masked_png_table, 64, 2, false, 2)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kiln::bench
