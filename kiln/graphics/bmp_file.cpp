#include "kiln/graphics/bmp_file.h"

#include <cstdio>
#include <memory>
#include <new>

#include "common/exit.h"
#include "common/files.h"

namespace kiln {

namespace {
struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

[[noreturn]] void failOpen(const std::string& path) {
  std::string text = "ERROR: Can not open " + path;
  std::perror(text.c_str());
  kit::fail(1);
}
}  // namespace

std::vector<uint8_t> readBmpFile(const std::string& path) {
  std::unique_ptr<FILE, FileCloser> file(kit::openInputFile(path));
  if (!file) failOpen(path);
  // The file is read whole with one fread, so the stream needs no buffer of
  // its own: buffered, the seeks below read the file's tail ahead of time and
  // the read comes in pieces, twice the calls for thousands of brushes.
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  // Something that is not a regular file (a pipe, a device) has no size to
  // seek to; it is refused like a file that cannot be opened.
  if (std::fseek(file.get(), 0, SEEK_END) != 0) failOpen(path);
  long size = std::ftell(file.get());
  if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) failOpen(path);

  std::vector<uint8_t> bytes;
  try {
    bytes.resize(size_t(size));
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "ERROR: Could not malloc %ld bytes for file\n", size);
    kit::fail(1);
  }
  size_t got = size ? std::fread(bytes.data(), 1, bytes.size(), file.get()) : 0;
  if (got < bytes.size()) {
    std::fprintf(stderr, "ERROR: fread error, read only %ld of %ld bytes\n", long(got), size);
    std::perror("fread reported");
    kit::fail(1);
  }
  return bytes;
}

namespace {
void putLE32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = uint8_t(v >> (8 * i));
}
}  // namespace

std::vector<uint8_t> makeBmp8(int width, int height, const std::vector<uint32_t>& colours,
                              const std::vector<uint8_t>& indices) {
  const size_t rowBytes = (size_t(width) + 3) / 4 * 4;
  const size_t offset = 14 + 40 + 4 * colours.size();
  std::vector<uint8_t> b(offset + rowBytes * size_t(height), 0);
  uint8_t* p = b.data();
  p[0] = 'B';
  p[1] = 'M';
  putLE32(p + 2, uint32_t(b.size()));
  putLE32(p + 10, uint32_t(offset));
  putLE32(p + 14, 40);
  putLE32(p + 18, uint32_t(width));
  putLE32(p + 22, uint32_t(height));
  p[26] = 1;  // planes
  p[28] = 8;  // bits per pixel
  putLE32(p + 34, uint32_t(rowBytes * size_t(height)));
  putLE32(p + 38, 2835);  // 72 dots per inch
  putLE32(p + 42, 2835);
  putLE32(p + 46, uint32_t(colours.size()));
  for (size_t i = 0; i < colours.size(); ++i) putLE32(p + 54 + 4 * i, colours[i]);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      p[offset + size_t(height - 1 - y) * rowBytes + x] = indices[size_t(y) * width + x];
  return b;
}

}  // namespace kiln
