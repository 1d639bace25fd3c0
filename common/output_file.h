#pragma once
// Output files that are written whole or not at all.
//
// The bytes go to a temporary file with a name of its own, created
// exclusively in the final file's folder, so any number of runs may write the
// same output at once: each succeeds and the last rename wins. commit()
// flushes the temporary file to the disk, renames it over the final file and
// syncs the folder, so that after a crash the output is the old file or the
// new one, never an empty one. While a temporary file exists its path is on a
// list that an interrupt (SIGINT, SIGTERM, SIGHUP, SIGPIPE; Ctrl+C, Ctrl+Break
// or a closed console on Windows) removes before the process ends.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kit {

struct AtomicFile {
  std::string path;     // the output as named by the caller; messages name it
  std::string target;   // the file replaced: path, or the end of its chain of symbolic links
  std::string tmpPath;  // the temporary file beside target
  FILE* file = nullptr;
  bool committed = false;
  int slot = -1;            // the temporary path's place on the interrupt list
  unsigned keptMode = 0;    // permission bits (POSIX) or attributes (Windows) of the replaced file
  bool replacing = false;   // a file stood at target when the output was opened
  AtomicFile() = default;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  // Creates the temporary file for finalPath; false (errno set) when it cannot
  // be created, also when a folder or other non-file stands at finalPath
  // (EISDIR for a folder). inNewFolder: finalPath's folder was just made by
  // this process, so nothing stands at finalPath and it is not looked at.
  bool open(const std::string& finalPath, const char* mode = "wb", bool inNewFolder = false);
  // Writes size bytes; false (errno set) when they could not all be written.
  bool write(const void* data, size_t size);
  // Flushes the temporary file to the disk and renames it over the final
  // file; false (errno set, temporary file removed) when that fails.
  bool commit();
  // Closes and removes the temporary file; the final file is left as it was.
  void discard();

  // The two halves of commit(), which OutputBatch calls apart: finish()
  // flushes the bytes (to the disk as well when sync) and closes the file;
  // renameIntoPlace() puts the closed temporary file over the final file.
  // Each removes the temporary file and sets errno when it fails.
  bool finish(bool sync);
  bool renameIntoPlace();
};

enum class OutputResult { written, createFailed, writeFailed };

// Writes bytes to path whole or not at all. On failure errno holds the
// system's reason and the result says whether the file could not be created
// (report it with the output's own open message) or not written.
OutputResult writeWholeFile(const std::string& path, const void* data, size_t size);
inline OutputResult writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  return writeWholeFile(path, bytes.data(), bytes.size());
}

// Many outputs made durable together. A program that writes thousands of
// files (unkiln's extraction and preview) would spend far longer syncing each
// one than writing them all. Each add() writes a whole temporary file; commit()
// flushes the data of all of them to the disk at once, then renames each over
// its final file and syncs each folder once. So every output is still the old
// file or the new one after a crash, and an interrupt removes the temporary
// files not yet renamed. add() may be called from several threads at once.
class OutputBatch {
 public:
  OutputBatch() = default;
  OutputBatch(const OutputBatch&) = delete;
  OutputBatch& operator=(const OutputBatch&) = delete;
  // Removes the temporary files of a batch that was not committed.
  ~OutputBatch();

  // Writes bytes to a new temporary file beside path (the final file is not
  // touched until commit). On failure errno holds the reason and the result
  // says whether the file could not be created or not written.
  OutputResult add(const std::string& path, const void* data, size_t size);
  // The same for a file written in pieces, one after the other.
  struct Piece {
    const void* data;
    size_t size;
  };
  OutputResult add(const std::string& path, const std::vector<Piece>& pieces);
  // The same for a caller that reports any failure alike: 0 when the file
  // was added, otherwise the system's reason.
  int put(const std::string& path, const std::vector<Piece>& pieces);
  // A file written in parts as they come, then one of the batch's outputs
  // as if added whole: a page whose sections are ready one after another.
  // open() creates it; a failure then or in append() is kept, the file
  // removed, and close() tells it: 0 when the file was added, otherwise the
  // system's reason. A stream never closed is removed when it goes. One
  // thread at a time uses a stream; streams and add() may run side by side.
  struct Stream {
    std::unique_ptr<AtomicFile> beside;  // the temporary file beside the final one
    FILE* staged = nullptr;              // or the file in the staged folder,
    std::string where;                   // which is here
    int error = 0;
    OutputResult result = OutputResult::written;
    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    ~Stream();
  };
  std::unique_ptr<Stream> open(const std::string& path);
  void append(Stream& stream, const std::vector<Piece>& pieces);
  int close(std::unique_ptr<Stream> stream);
  // Says that folder was made by this process just now: the outputs added in
  // it are created without a look for a file they replace (two calls a file
  // fewer, for the thousands of files of an extraction into a new folder).
  void folderIsNew(const std::string& folder);
  // Makes folder, when nothing stands there yet, under a temporary name
  // beside it. The outputs added under folder are then written there under
  // their own names, and commit() renames the whole folder into place at
  // once: one rename where there would be one a file, and no temporary name
  // a file. An interrupt removes the staged folder. False (nothing changed, errno set)
  // when something stands at folder, where folders are not staged (only
  // Linux stages them) or it cannot be made: the outputs then go into place
  // one by one, and the caller makes the folder as before.
  bool stageFolder(const std::string& folder);
  // Flushes every file added, then renames each into place, in the order
  // added, and the staged folder with the files in it. False (errno set,
  // failedPath() naming the output) at the first failure: the outputs renamed
  // before it are in place, the rest removed. Should the staged folder's
  // place be taken meanwhile (another run made it), its files are moved
  // into that folder one by one, as the files of a folder not staged.
  bool commit();
  // Removes every temporary file not yet renamed, and the staged folder.
  void discard();
  const std::string& failedPath() const { return failed_; }
  size_t pending() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<AtomicFile>> pending_;
  std::vector<std::string> newFolders_;
  std::string failed_;
  // The staged folder: its final path, where it is meanwhile, its place on
  // the interrupt list, the subfolders made in it, and the files written in
  // it (relative paths, in the order added).
  std::string stagedFinal_, staged_;
  int stagedSlot_ = -1;
  std::vector<std::string> stagedFolders_, stagedFiles_;
  // The flush that runs ahead: the bytes written since it last started.
  std::thread flusher_;
  std::atomic<bool> flushing_{false};
  size_t unflushed_ = 0;

  // Counts size bytes written into folder; starts a flush ahead when enough
  // are waiting and none runs. Under the mutex.
  void wrote(const std::string& folder, size_t size);
  void joinFlusher();

  // What close() does, with add()'s kind of failure.
  OutputResult finish(std::unique_ptr<Stream> stream);
  bool commitStaged();
  bool moveStagedFiles();
  void removeStaged();
};

// Reports a failed write, flush or rename through perror:
// "ERROR: failed to write PATH: reason".
void reportWriteFailure(const std::string& path);

// Removes every temporary file the process holds. Async-signal-safe: the
// interrupt handlers call it; a test may call it to stand in for one.
void removeTemporaryFiles();

}  // namespace kit
