#include "kiln/graphics/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdio>
#include <new>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "common/exit.h"

namespace kiln {

namespace {

#ifdef _WIN32
constexpr int kReadFlags = O_RDONLY | O_BINARY;
#else
// Non-blocking, so that a pipe named as an image is refused below instead of
// waiting for a writer forever; reads of a regular file are not affected.
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
#endif

[[noreturn]] void failOpen(const std::string& path) {
  std::string text = "ERROR: Can not open " + path;
  std::perror(text.c_str());
  kit::fail(1);
}

// Closes the descriptor on every way out, errno kept for the report.
struct Descriptor {
  int fd;
  ~Descriptor() {
    int saved = errno;
    ::close(fd);
    errno = saved;
  }
};

}  // namespace

std::vector<uint8_t> readImageFile(const std::string& path) {
  Descriptor file{::open(path.c_str(), kReadFlags)};
  struct stat st;
  if (file.fd < 0) {
    // Windows refuses to open a folder with "Permission denied"; say what it is.
    if (errno == EACCES && ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR) errno = EISDIR;
    failOpen(path);
  }
  if (::fstat(file.fd, &st) != 0) failOpen(path);
  // A folder opens for reading on POSIX; say what it is. Something that is
  // not a regular file (a pipe, a device) has no size to read by; it is
  // refused like a file that cannot be opened, as it always was.
  if ((st.st_mode & S_IFMT) == S_IFDIR) {
    errno = EISDIR;
    failOpen(path);
  }
  if ((st.st_mode & S_IFMT) != S_IFREG) {
    errno = ESPIPE;
    failOpen(path);
  }
  const long size = long(st.st_size);
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(size_t(size));
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "ERROR: Could not malloc %ld bytes for file\n", size);
    kit::fail(1);
  }
  // One read for a whole regular file; the loop only covers a short read.
  size_t got = 0;
  while (got < bytes.size()) {
    size_t want = bytes.size() - got;
    if (want > (1u << 30)) want = 1u << 30;
#ifdef _WIN32
    int n = ::_read(file.fd, bytes.data() + got, unsigned(want));
#else
    ssize_t n = ::read(file.fd, bytes.data() + got, want);
    if (n < 0 && errno == EINTR) continue;
#endif
    if (n <= 0) {
      if (n == 0) errno = 0;
      std::fprintf(stderr, "ERROR: fread error, read only %ld of %ld bytes\n", long(got), size);
      std::perror("fread reported");
      kit::fail(1);
    }
    got += size_t(n);
  }
  return bytes;
}

}  // namespace kiln
