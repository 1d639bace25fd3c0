#pragma once
// Work done on worker threads while the caller goes on, with its results
// taken in the order the work was given, on the caller's thread: every
// message is printed where it would be if all were done in turn. The
// preview encodes and writes its pictures this way, the extraction makes
// and writes its files.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace unkiln {

class OrderedWork {
 public:
  // workers threads (fewer when the system has no more; with none, each
  // piece of work is done as it is given); at most window pieces wait or
  // run at a time.
  OrderedWork(int workers, size_t window);
  OrderedWork(const OrderedWork&) = delete;
  OrderedWork& operator=(const OrderedWork&) = delete;
  // Stops the workers (work not yet started is dropped) and joins them.
  ~OrderedWork();

  // Runs work on a worker, then done on the caller's thread in its turn.
  // work must not touch what the caller goes on changing. While the window
  // is full, waits for the oldest; calls done for all work finished before
  // it, in order.
  void addTask(std::function<void()> work, std::function<void()> done);
  // Waits for all work given and calls its done, in order.
  void settle();

  // One worker a processor besides the caller's thread, at most three.
  static int workersForProcessors();

 private:
  struct Job {
    std::function<void()> work, done;
    bool finished = false;
  };
  void work();
  // Calls done for the finished work at the front until at most keep are
  // left; while the oldest is not finished, runs work no worker has taken.
  void collect(std::unique_lock<std::mutex>& lock, size_t keep);
  // Takes and runs the oldest (or the newest) work not started; false when
  // there is none.
  bool runOne(std::unique_lock<std::mutex>& lock, bool newest);

  size_t window_;
  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  std::deque<std::shared_ptr<Job>> order_;  // all work not yet collected, in order given
  std::deque<std::shared_ptr<Job>> todo_;   // what no worker has taken
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace unkiln
