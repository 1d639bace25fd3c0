#include "kiln/graphics/read_ahead.h"

#include <utility>

#include "common/quiet_thread.h"

namespace kiln {

namespace {

// Bigger files are left for the compiling thread, so that the window never
// holds more than kMaxBytes: the reader starts a file only below half of it.
constexpr long kReadAheadLimit = long(ImageReadAhead::kMaxBytes / 2);

}  // namespace

ImageReadAhead::ImageReadAhead(std::vector<std::string> list)
    : paths(std::move(list)), slots(paths.size()), filled(paths.size(), 0) {
  // Nothing to overlap with fewer than two files, or with one processor
  // (taskset, a container's limit), where the thread would only cost.
  if (paths.size() < 2 || kit::usableProcessors() == 1) return;
  // Without a second thread every file is read when it is taken.
  reader = kit::startQuietThread([this] { readAll(); });
}

ImageReadAhead::~ImageReadAhead() { stopReading(); }

void ImageReadAhead::stopReading() {
  if (!reader.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(lock);
    stop = true;
  }
  room.notify_one();
  reader.join();
}

void ImageReadAhead::readAll() {
  for (;;) {
    size_t i;
    {
      std::unique_lock<std::mutex> hold(lock);
      while (!stop && claimed < paths.size() &&
             (claimed - takenCount >= kMaxFiles || windowBytes >= size_t(kReadAheadLimit))) {
        readerWaiting = true;
        room.wait(hold);
      }
      readerWaiting = false;
      if (stop || claimed == paths.size()) return;
      i = claimed++;
    }
    ImageFileRead read = loadImageFile(paths[i], kReadAheadLimit);
    std::lock_guard<std::mutex> hold(lock);
    windowBytes += read.bytes.size();
    slots[i] = std::move(read);
    filled[i] = 1;
    if (compilerWaiting) ready.notify_one();
  }
}

std::vector<uint8_t> ImageReadAhead::take(const std::string& path) {
  if (!reader.joinable() || nextToTake >= paths.size() || paths[nextToTake] != path) {
    // Out of step with the list (never expected): read the rest here.
    stopReading();
    return readImageFile(path);
  }
  const size_t i = nextToTake++;
  ImageFileRead read;
  bool readHere = false;
  {
    std::unique_lock<std::mutex> hold(lock);
    if (claimed == i) {
      // The reader has not come to it: this thread reads it.
      claimed = i + 1;
      readHere = true;
    } else {
      while (!filled[i]) {
        compilerWaiting = true;
        ready.wait(hold);
      }
      compilerWaiting = false;
      read = std::move(slots[i]);
      windowBytes -= read.bytes.size();
    }
    takenCount = i + 1;
    // Wake the reader once the window has half drained, not for every file.
    if (readerWaiting && claimed - takenCount <= kMaxFiles / 2 && windowBytes <= size_t(kReadAheadLimit) / 2)
      room.notify_one();
  }
  if (nextToTake == paths.size()) reader.join();  // it has read its last file
  if (readHere) return readImageFile(path);
  return takeImageFile(std::move(read), path);
}

}  // namespace kiln
