#include "common/files.h"

#include <cerrno>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

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
  bytes.clear();
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  bool ok = !std::ferror(f);
  int saved = errno;
  std::fclose(f);
  errno = saved;
  return ok;
}

static bool replaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  errno = EACCES;
  return false;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open(const std::string& finalPath, const char* mode) {
  discard();
  path = finalPath;
  tmpPath = finalPath + ".tmp";
  committed = false;
  // Windows reports a folder in the way as "Permission denied"; say what it is.
  struct stat st;
  if (stat(tmpPath.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR) {
    errno = EISDIR;
    return false;
  }
  file = std::fopen(tmpPath.c_str(), mode);
  return file != nullptr;
}

bool AtomicFile::commit() {
  if (!file) return false;
  bool ok = std::fflush(file) == 0 && !std::ferror(file);
  int saved = errno;
  ok = (std::fclose(file) == 0) && ok;
  file = nullptr;
  if (ok && replaceFile(tmpPath, path)) {
    committed = true;
    return true;
  }
  if (!ok) errno = saved;
  saved = errno;
  std::remove(tmpPath.c_str());
  errno = saved;
  return false;
}

void AtomicFile::discard() {
  if (file) {
    std::fclose(file);
    file = nullptr;
    std::remove(tmpPath.c_str());
  }
}

}  // namespace kit
