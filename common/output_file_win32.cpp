// Output files and interrupts on Windows.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/output_file.h"
#include "common/temp_list.h"

namespace kit {

namespace temp_list {

void removeOne(const char* path) { DeleteFileA(path); }

// Windows keeps a batch's files one by one: a folder cannot be renamed while
// a virus scanner or the indexer holds a file in it open.
bool makeStagingFolder(const std::string&) {
  errno = ENOSYS;
  return false;
}

bool renameFolder(const std::string& from, const std::string& to) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
  errno = GetLastError() == ERROR_ALREADY_EXISTS ? EEXIST : EACCES;
  return false;
}

namespace {

// The console's control handler runs on a thread of its own, so the list is
// changed only under this lock; the handler takes it and never gives it back.
SRWLOCK listLock = SRWLOCK_INIT;


// Ctrl+C, Ctrl+Break, a closed console, logoff or shutdown: the temporary
// files go (an open one is deleted as its handle closes), then the process
// ends with status 1.
BOOL WINAPI onConsoleEvent(DWORD) {
  AcquireSRWLockExclusive(&listLock);
  forEach(removeOne);
  ExitProcess(1);
}

}  // namespace

void installHandlers() {
  static const bool installed = SetConsoleCtrlHandler(onConsoleEvent, TRUE) != 0;
  (void)installed;
}

InterruptGuard::InterruptGuard() { AcquireSRWLockExclusive(&listLock); }
InterruptGuard::~InterruptGuard() { ReleaseSRWLockExclusive(&listLock); }

}  // namespace temp_list

namespace {

int errnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    default:
      return EIO;
  }
}

// Attributes of a replaced file that the new one takes over.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

}  // namespace

bool AtomicFile::open(const std::string& finalPath, const char* mode, bool inNewFolder) {
  discard();
  path = finalPath;
  target = finalPath;
  committed = false;
  replacing = false;
  keptMode = 0;

  DWORD attributes = inNewFolder ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    // A folder in the way would otherwise show only as "Permission denied"
    // when the rename meets it.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      errno = EISDIR;
      return false;
    }
    if (attributes & FILE_ATTRIBUTE_DEVICE) {
      errno = EEXIST;
      return false;
    }
    replacing = true;
    keptMode = attributes & kKeptAttributes;
  }

  temp_list::installHandlers();
  bool text = std::strchr(mode, 'b') == nullptr;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = temp_list::temporaryName(target);
    HANDLE handle;
    {
      temp_list::InterruptGuard guard;
      slot = temp_list::hold(name);
      if (slot < 0) return false;
      // Shared for deletion, so that an interrupt can remove the file while
      // it is still open.
      handle = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle == INVALID_HANDLE_VALUE) {
        errno = errnoOf(GetLastError());
        temp_list::release(slot);
        slot = -1;
      }
    }
    if (handle == INVALID_HANDLE_VALUE) {
      if (errno == EEXIST) continue;
      return false;
    }
    tmpPath = name;
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | (text ? _O_TEXT : _O_BINARY));
    if (fd < 0) {
      CloseHandle(handle);
      discard();
      errno = EMFILE;
      return false;
    }
    file = _fdopen(fd, mode);
    if (!file) {
      int saved = errno;
      _close(fd);
      discard();
      errno = saved;
      return false;
    }
    return true;
  }
  errno = EEXIST;
  return false;
}

// Windows has no flush of many files at once, so a batch's files are flushed
// one by one as well.
int temp_list::flushToDisk(FILE* file, bool) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  return FlushFileBuffers(handle) ? 0 : errnoOf(GetLastError());
}

bool AtomicFile::renameIntoPlace() {
  int err = 0;
  {
    temp_list::InterruptGuard guard;
    // A read-only file cannot be replaced: the attribute is lifted for the
    // rename and the new file gets it back.
    bool readOnly = replacing && (keptMode & FILE_ATTRIBUTE_READONLY);
    if (readOnly) SetFileAttributesA(target.c_str(), keptMode & ~DWORD(FILE_ATTRIBUTE_READONLY));
    if (MoveFileExA(tmpPath.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      temp_list::release(slot);
      slot = -1;
      committed = true;
      if (replacing && keptMode) SetFileAttributesA(target.c_str(), keptMode);
    } else {
      err = errnoOf(GetLastError());
      if (readOnly) SetFileAttributesA(target.c_str(), keptMode);
    }
  }
  if (committed) return true;
  discard();
  errno = err;
  return false;
}

bool AtomicFile::commit() { return finish(true) && renameIntoPlace(); }

// Each file was flushed as it was finished, and MoveFileEx writes through.
void temp_list::syncBatch(const std::vector<std::string>&, bool) {}
void temp_list::flushAhead(const std::string&) {}

}  // namespace kit
