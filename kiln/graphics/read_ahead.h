#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kiln/graphics/image_file.h"

namespace kiln {

// Reads the image files of a list on a second thread, in list order and a
// bounded window ahead of the compiling thread, which converts one file
// while the next ones are read. When the compiler comes to a file the reader
// has not started, it reads that one itself while the reader goes on with
// the next: small files cost the kernel more to read than the compiler to
// convert, so both threads read. Nothing is printed on the second thread: a
// file that cannot be read is reported by take(), when the compiler reaches
// it, exactly as readImageFile reports it. The destructor stops and joins the
// reader, so a failing run leaves nothing reading on.
struct ImageReadAhead {
  static constexpr size_t kMaxFiles = 32;          // files read and not yet taken
  static constexpr size_t kMaxBytes = 16u << 20;   // their bytes, at most

  explicit ImageReadAhead(std::vector<std::string> paths);
  ~ImageReadAhead();
  ImageReadAhead(const ImageReadAhead&) = delete;
  ImageReadAhead& operator=(const ImageReadAhead&) = delete;

  // The bytes of the image at path, which should be the next of the list;
  // anything else (or no reader) is read here and now. Every failure is
  // reported and ends the run as readImageFile does.
  std::vector<uint8_t> take(const std::string& path);

 private:
  void readAll();
  void stopReading();

  const std::vector<std::string> paths;
  std::vector<ImageFileRead> slots;  // one per path, filled by the reader
  size_t nextToTake = 0;             // compiling thread only

  std::mutex lock;
  std::condition_variable room;   // the reader waits for the window to drain
  std::condition_variable ready;  // the compiler waits for its file
  size_t claimed = 0;             // files [0, claimed) are read or being read, by either thread
  std::vector<char> filled;       // the reader has put the file in its slot
  size_t takenCount = 0;          // slots[0, takenCount) are taken
  size_t windowBytes = 0;         // bytes of the filled slots not yet taken
  bool readerWaiting = false, compilerWaiting = false, stop = false;
  std::thread reader;
};

}  // namespace kiln
