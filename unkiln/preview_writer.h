#pragma once
// The preview's PNG files, encoded and written on worker threads while the
// caller draws the next pictures. Results come back in the order the
// pictures were given, on the caller's thread, so every message is printed
// where it was before.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/output_file.h"
#include "unkiln/preview_image.h"

namespace unkiln {

class PictureWriter {
 public:
  // Told on the caller's thread whether the file was added to the batch, and
  // errno when not.
  using Done = std::function<void(bool written, int error)>;

  // workers threads; at most window pictures wait or are encoded at a time.
  PictureWriter(kit::OutputBatch& batch, int workers, size_t window);
  PictureWriter(const PictureWriter&) = delete;
  PictureWriter& operator=(const PictureWriter&) = delete;
  // Stops the workers (pictures not yet started are dropped) and joins them.
  ~PictureWriter();

  // One file of a picture: its path, and the colours of its indexes when
  // not the picture's own (an indexed picture written with several lists
  // of colours is compressed once).
  struct File {
    std::string path;
    std::vector<uint32_t> colours;
    Done done;
  };

  // Queues picture, enlarged n times, as the file path. While the window is
  // full, waits for the oldest; calls done for every picture finished before
  // it, in order.
  void add(std::string path, std::shared_ptr<const Picture> picture, int n, Done done);
  // The same for the files of one picture, done called for each in order.
  void add(std::vector<File> files, std::shared_ptr<const Picture> picture, int n);
  // Waits for every picture queued and calls their done, in order.
  void settle();

 private:
  struct Job {
    std::vector<File> files;
    std::shared_ptr<const Picture> picture;
    int scale = 1;
    bool finished = false;
    std::vector<int> errors;  // errno of each file, 0 when written
  };
  void work();
  // Calls done for the finished pictures at the front; all of them when wait.
  void collect(std::unique_lock<std::mutex>& lock, size_t keep);

  kit::OutputBatch& batch_;
  size_t window_;
  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  std::deque<std::shared_ptr<Job>> order_;  // every job not yet collected, in order given
  std::deque<std::shared_ptr<Job>> todo_;   // those no worker has taken
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace unkiln
