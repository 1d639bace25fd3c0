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

}  // namespace kiln
