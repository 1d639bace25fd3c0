#pragma once
// The preview's PNG files, encoded and written on worker threads while the
// caller draws the next pictures, and other work of the preview (a table's
// description) beside them. Results come back in the order the work was
// given, on the caller's thread, so every message is printed where it would
// be if all were done in turn.

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
  // Files of one indexed picture, enlarged n times, that differ in their
  // colours only (files[i].colours, or the picture's own): the rows are
  // compressed once, here, and each file written on a worker of its own.
  void addVariants(std::vector<File> files, const Indexed& picture, int n);
  // Runs work on a worker, then done on the caller's thread in its turn.
  // work must not touch what the caller goes on changing.
  void addTask(std::function<void()> work, std::function<void()> done);
  // Waits for every picture queued and calls their done, in order.
  void settle();

 private:
  struct Job {
    std::function<void()> work, done;
    bool finished = false;
  };
  void work();
  // Calls done for the finished work at the front until at most keep are
  // left; while the oldest is not finished, runs work no worker has taken.
  void collect(std::unique_lock<std::mutex>& lock, size_t keep);
  // Takes and runs the oldest work not started; false when there is none.
  bool runOne(std::unique_lock<std::mutex>& lock);

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
