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
// Non-blocking, so that a FIFO in a list is refused below instead of waiting
// for a writer forever; reads of a regular file are not affected.
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
#endif

// Closes the descriptor on every way out, errno kept for the report.
struct Descriptor {
  int fd;
  ~Descriptor() {
    int saved = errno;
    ::close(fd);
    errno = saved;
  }
};

ImageFileRead failed(ImageFileRead::Fault fault, int error, long size = 0, long got = 0) {
  ImageFileRead r;
  r.fault = fault;
  r.error = error;
  r.size = size;
  r.got = got;
  return r;
}

}  // namespace

ImageFileRead loadImageFile(const std::string& path, long limit) {
  using Fault = ImageFileRead::Fault;
  Descriptor file{::open(path.c_str(), kReadFlags)};
  struct stat st;
  if (file.fd < 0) {
    // Windows refuses to open a folder with "Permission denied"; say what it is.
    if (errno == EACCES && ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR) errno = EISDIR;
    return failed(Fault::open, errno);
  }
  if (::fstat(file.fd, &st) != 0) return failed(Fault::open, errno);
  // A folder opens for reading on POSIX; say what it is. Something that is
  // not a regular file (a pipe, a device) has no size to read by; it is
  // refused like a file that cannot be opened, as it always was.
  if ((st.st_mode & S_IFMT) == S_IFDIR) return failed(Fault::open, EISDIR);
  if ((st.st_mode & S_IFMT) != S_IFREG) return failed(Fault::open, ESPIPE);
  const long size = long(st.st_size);
  if (limit >= 0 && size > limit) return failed(Fault::tooLarge, 0, size);
  ImageFileRead r;
  r.size = size;
  try {
    r.bytes.resize(size_t(size));
  } catch (const std::bad_alloc&) {
    return failed(Fault::memory, 0, size);
  }
  // One read for a whole regular file; the loop only covers a short read.
  size_t got = 0;
  while (got < r.bytes.size()) {
    size_t want = r.bytes.size() - got;
    if (want > (1u << 30)) want = 1u << 30;
#ifdef _WIN32
    int n = ::_read(file.fd, r.bytes.data() + got, unsigned(want));
#else
    ssize_t n = ::read(file.fd, r.bytes.data() + got, want);
    if (n < 0 && errno == EINTR) continue;
#endif
    if (n <= 0) return failed(Fault::read, n == 0 ? 0 : errno, size, long(got));
    got += size_t(n);
  }
  return r;
}

std::vector<uint8_t> takeImageFile(ImageFileRead&& read, const std::string& path) {
  using Fault = ImageFileRead::Fault;
  switch (read.fault) {
    case Fault::none:
      return std::move(read.bytes);
    case Fault::tooLarge:
      return readImageFile(path);
    case Fault::open: {
      std::string text = "ERROR: Can not open " + path;
      errno = read.error;
      std::perror(text.c_str());
      break;
    }
    case Fault::memory:
      std::fprintf(stderr, "ERROR: Could not malloc %ld bytes for file\n", read.size);
      break;
    case Fault::read:
      std::fprintf(stderr, "ERROR: fread error, read only %ld of %ld bytes\n", read.got, read.size);
      errno = read.error;
      std::perror("fread reported");
      break;
  }
  kit::fail(1);
}

std::vector<uint8_t> readImageFile(const std::string& path) { return takeImageFile(loadImageFile(path), path); }

}  // namespace kiln
