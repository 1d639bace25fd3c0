// Output files and interrupts on POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/syscall.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/output_file.h"
#include "common/temp_list.h"

namespace kit {

namespace temp_list {

namespace {

#ifdef __linux__
// A folder and everything in it, from inside a signal handler: no
// opendir (it allocates), only open, getdents64 and unlinkat on buffers of
// the stack. A staged folder is a few levels deep.
void removeTreeAt(int parent, const char* name, int depth) {
  if (unlinkat(parent, name, 0) == 0 || errno != EISDIR || depth > 16) return;
  int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  alignas(8) char entries[4096];
  // Read from the start again after each pass: entries removed while the
  // folder is read may make the reading skip others.
  for (bool removed = true; removed;) {
    removed = false;
    lseek(fd, 0, SEEK_SET);
    long n;
    while ((n = syscall(SYS_getdents64, fd, entries, sizeof entries)) > 0) {
      for (long at = 0; at < n;) {
        const char* entry = entries + at;
        unsigned short length;
        std::memcpy(&length, entry + 16, sizeof length);  // d_reclen, after d_ino and d_off
        const char* child = entry + 19;                    // d_name, after d_type
        at += length;
        if (std::strcmp(child, ".") == 0 || std::strcmp(child, "..") == 0) continue;
        removeTreeAt(fd, child, depth + 1);
        removed = true;
      }
    }
  }
  close(fd);
  unlinkat(parent, name, AT_REMOVEDIR);
}
#endif

}  // namespace

void removeOne(const char* path) {
  size_t length = std::strlen(path);
#ifdef __linux__
  if (length > 1 && path[length - 1] == '/') {
    char folder[4096];
    if (length >= sizeof folder) return;
    std::memcpy(folder, path, length - 1);
    folder[length - 1] = '\0';
    removeTreeAt(AT_FDCWD, folder, 0);
    return;
  }
#endif
  (void)length;
  unlink(path);
}

bool makeStagingFolder(const std::string& path) {
#ifdef __linux__
  return mkdir(path.c_str(), 0777) == 0;
#else
  (void)path;
  errno = ENOSYS;
  return false;
#endif
}

bool renameFolder(const std::string& from, const std::string& to) {
#ifdef __linux__
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  // A file system that cannot refuse to replace: a plain rename replaces
  // only an empty folder, which loses nothing.
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  return std::rename(from.c_str(), to.c_str()) == 0;
}

namespace {

// SIGPIPE too: kiln's output piped into head ends it as surely as Ctrl+C.
const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};


// Removes the temporary files, then ends the process by the same signal with
// its default action, so that a shell sees 130, 143 or 129 and a calling make
// stops. Only async-signal-safe calls.
extern "C" void onInterrupt(int sig) {
  forEach(removeOne);
  struct sigaction dfl = {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, sig);
  sigprocmask(SIG_UNBLOCK, &mask, nullptr);
  raise(sig);
}

sigset_t interruptSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kInterrupts) sigaddset(&set, sig);
  return set;
}

}  // namespace

void installHandlers() {
  static const bool installed = [] {
    for (int sig : kInterrupts) {
      struct sigaction old = {};
      // A signal the process was started to ignore (nohup, a background job)
      // stays ignored; a handler of the program's own is left in place.
      if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
      struct sigaction sa = {};
      sa.sa_handler = onInterrupt;
      sa.sa_mask = interruptSet();  // one cleanup at a time
      sigaction(sig, &sa, nullptr);
    }
    return true;
  }();
  (void)installed;
}

InterruptGuard::InterruptGuard() {
  sigset_t set = interruptSet();
  sigprocmask(SIG_BLOCK, &set, &saved);
}

InterruptGuard::~InterruptGuard() { sigprocmask(SIG_SETMASK, &saved, nullptr); }

}  // namespace temp_list

namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit on a chain of links

// The fuzzing harnesses write millions of outputs, and what they look for is
// not durability: a sync each would slow them down a hundredfold.
#ifdef KIT_FUZZ
constexpr bool kSync = false;
#else
constexpr bool kSync = true;
#endif

// Follows a chain of symbolic links to the file it ends at, so that the new
// file replaces that one and every link stays. A path that is no link (or
// does not exist) is its own end.
bool followLinks(const std::string& path, std::string& end, struct stat& endStat, bool& exists) {
  std::string current = path;
  for (int hops = 0;; ++hops) {
    struct stat st;
    if (lstat(current.c_str(), &st) != 0) {
      // A missing end (ENOENT), or one that cannot be looked at (errno says why).
      end = current;
      exists = false;
      return true;
    }
    if (!S_ISLNK(st.st_mode)) {
      end = current;
      endStat = st;
      exists = true;
      return true;
    }
    if (hops == kMaxLinks) {
      errno = ELOOP;
      return false;
    }
    std::vector<char> buffer(size_t(st.st_size) + 256);
    ssize_t n;
    while ((n = readlink(current.c_str(), buffer.data(), buffer.size())) == ssize_t(buffer.size()))
      buffer.resize(buffer.size() * 2);
    if (n < 0) return false;
    std::string link(buffer.data(), size_t(n));
    if (link.empty() || link[0] == '/') {
      current = link;
    } else {
      std::string folder = temp_list::folderOf(current);
      current = (folder == "/" ? folder : folder + "/") + link;
    }
  }
}

void syncFolder(const std::string& folder) {
  // The rename lives in the folder: without this a crash may bring back the
  // old name, or neither. Best effort: the new file is in place either way.
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  ::close(fd);
}

}  // namespace

bool AtomicFile::open(const std::string& finalPath, const char* mode, bool inNewFolder) {
  discard();
  path = finalPath;
  committed = false;
  replacing = false;
  keptMode = 0;
  // The end of the links is looked at once: an extraction opens thousands
  // of outputs.
  struct stat st = {};
  bool exists = false;
  if (inNewFolder) target = finalPath;
  else if (!followLinks(finalPath, target, st, exists)) return false;
  if (exists) {
    // A folder or other non-file in the way is refused now, where creating
    // the output is reported, not when the rename meets it.
    if (!S_ISREG(st.st_mode)) {
      errno = S_ISDIR(st.st_mode) ? EISDIR : EEXIST;
      return false;
    }
    replacing = true;
    keptMode = st.st_mode & 0777;
  } else if (!inNewFolder && errno != ENOENT) {
    return false;
  }

  temp_list::installHandlers();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = temp_list::temporaryName(target);
    int fd;
    {
      temp_list::InterruptGuard guard;
      slot = temp_list::hold(name);
      if (slot < 0) return false;
      // 0666 less the umask, as for any new file; a replaced file's bits are
      // set below.
      fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0) {
        int saved = errno;
        temp_list::release(slot);
        slot = -1;
        errno = saved;
      }
    }
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    tmpPath = name;
    if (replacing) {
      fchmod(fd, mode_t(keptMode));
      // Root rebuilding an author's file hands it back to the author.
      if (st.st_uid != geteuid() || st.st_gid != getegid()) (void)!fchown(fd, st.st_uid, st.st_gid);
    }
    file = fdopen(fd, mode);
    if (!file) {
      int saved = errno;
      ::close(fd);
      discard();
      errno = saved;
      return false;
    }
    return true;
  }
  errno = EEXIST;
  return false;
}

int temp_list::flushToDisk(FILE* file, bool sync) {
  // EINVAL: a file system that cannot sync.
  if (sync && kSync && fsync(fileno(file)) != 0 && errno != EINVAL) return errno;
  return 0;
}

bool AtomicFile::renameIntoPlace() {
  int err = 0;
  {
    temp_list::InterruptGuard guard;
    if (std::rename(tmpPath.c_str(), target.c_str()) == 0) {
      temp_list::release(slot);
      slot = -1;
      committed = true;
    } else {
      err = errno;
    }
  }
  if (committed) return true;
  discard();
  errno = err;
  return false;
}

bool AtomicFile::commit() {
  if (!finish(true) || !renameIntoPlace()) return false;
  if (kSync) syncFolder(temp_list::folderOf(target));
  return true;
}

void temp_list::flushAhead(const std::string& folder) {
#ifdef __linux__
  if (!kSync) return;
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  syncfs(fd);
  ::close(fd);
#else
  (void)folder;
#endif
}

void temp_list::syncBatch(const std::vector<std::string>& folders, bool beforeRename) {
  if (!kSync) return;
  if (!beforeRename) {
    for (const std::string& folder : folders) syncFolder(folder);
    return;
  }
#ifdef __linux__
  // One flush of each file system the files are on: a journal commit each
  // costs milliseconds, and thousands of them would take far longer than
  // writing the files.
  std::vector<dev_t> done;
  for (const std::string& folder : folders) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st;
    if (fstat(fd, &st) == 0 && std::find(done.begin(), done.end(), st.st_dev) == done.end()) {
      done.push_back(st.st_dev);
      syncfs(fd);
    }
    ::close(fd);
  }
#else
  ::sync();
#endif
}

}  // namespace kit
