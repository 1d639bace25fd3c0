#include "common/files.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <sys/stat.h>

namespace kit {

FILE* openInputFile(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR) {
    errno = EISDIR;
    return nullptr;
  }
  return std::fopen(path.c_str(), "rb");
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  FILE* f = openInputFile(path);
  if (!f) return false;
  // Unbuffered, into room made once for the whole file (its size and a byte
  // more, to see its end), the bytes go straight into place: a database of
  // megabytes was copied through a small buffer and moved as the room grew.
  // A pipe has no size: its room doubles as it comes.
  std::setvbuf(f, nullptr, _IONBF, 0);
  size_t room = 65536;
  struct stat st;
  if (fstat(fileno(f), &st) == 0 && (st.st_mode & S_IFMT) == S_IFREG && st.st_size > 0) room = size_t(st.st_size) + 1;
  bytes.clear();
  size_t used = 0;
  bool ok = true;
  try {
    for (;;) {
      if (used == bytes.size()) bytes.resize(used == 0 ? room : used * 2);
      const size_t wanted = bytes.size() - used;
      const size_t n = std::fread(bytes.data() + used, 1, wanted, f);
      used += n;
      if (n < wanted) break;
    }
    ok = !std::ferror(f);
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    ok = false;
  }
  bytes.resize(used);
  int saved = errno;
  std::fclose(f);
  errno = saved;
  return ok;
}

bool fileHolds(const std::string& path, const void* bytes, size_t size) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  // Unbuffered, the bytes are read straight into the room for them; one byte
  // more than expected tells a longer file.
  std::setvbuf(f, nullptr, _IONBF, 0);
  std::vector<uint8_t> old(size + 1);
  const size_t n = std::fread(old.data(), 1, old.size(), f);
  const bool same = n == size && !std::ferror(f) && (size == 0 || std::memcmp(old.data(), bytes, size) == 0);
  std::fclose(f);
  return same;
}

}  // namespace kit
