#pragma once
// The list of temporary output files that an interrupt removes; shared by the
// output files and the platform's interrupt handlers.

#include <cstdio>
#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#endif

namespace kit::temp_list {

// Puts path on the list; its place, or -1 (errno EMFILE) when the list is
// full (65,536 paths) or cannot grow.
// Call inside an InterruptGuard, with the handlers installed.
int hold(const std::string& path);
// Takes the path at place off the list (nothing for -1). Inside an InterruptGuard.
void release(int place);
// Removes one file (unlink, DeleteFile), or a folder with everything in it
// when path ends in '/' (a staged folder; Linux only). Async-signal-safe.
void removeOne(const char* path);
// Makes a new folder to stage outputs in: false (errno set) where folders
// are not staged (anywhere but Linux) or it cannot be made.
bool makeStagingFolder(const std::string& path);
// Renames a folder to a path where nothing stands; errno EEXIST or ENOTEMPTY
// when something does.
bool renameFolder(const std::string& from, const std::string& to);
// Calls remove on every path on the list. Async-signal-safe when remove is.
void forEach(void (*remove)(const char* path));

// Installs the interrupt handlers, once per process.
void installHandlers();

// Holds interrupts off while it lives, so that a handler never sees a
// temporary file that exists but is not on the list, or a list entry that
// names a file renamed into place.
struct InterruptGuard {
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
#ifndef _WIN32
  sigset_t saved;
#endif
};

// A name for a temporary file beside target: target's name, a random part and
// ".tmp". Each call gives another random part.
std::string temporaryName(const std::string& target);

// Flushes an output's written bytes to the disk (only when sync, on POSIX);
// 0, or the system's reason.
int flushToDisk(FILE* file, bool sync);

// Brings a batch of outputs in folders to the disk: before their renames the
// files' data (POSIX: one flush of each file system), after them the folders.
void syncBatch(const std::vector<std::string>& folders, bool beforeRename);

// Starts the file system holding folder on its way to the disk and waits
// for it (POSIX: a flush of that file system), so that a later flush of a
// batch has less left to wait for. Nothing where files are flushed one by
// one (Windows).
void flushAhead(const std::string& folder);

// The folder of path ("." for a bare name), and its final name.
std::string folderOf(const std::string& path);

}  // namespace kit::temp_list
