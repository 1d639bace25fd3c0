#include "unkiln/ordered_work.h"

#include <algorithm>

#include "common/quiet_thread.h"

namespace unkiln {

OrderedWork::OrderedWork(int workers, size_t window) : window_(window < 1 ? 1 : window) {
  for (int i = 0; i < workers; ++i) {
    std::thread t = kit::startQuietThread([this] { work(); });
    if (!t.joinable()) break;
    threads_.push_back(std::move(t));
  }
}

OrderedWork::~OrderedWork() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    todo_.clear();
  }
  wake_.notify_all();
  for (std::thread& t : threads_) t.join();
}

int OrderedWork::workersForProcessors() {
  // On two processors a second worker beside the caller's thread only made
  // the three take turns.
  const unsigned processors = kit::usableProcessors();
  return processors > 1 ? int(std::min(processors - 1, 3u)) : 0;
}

bool OrderedWork::runOne(std::unique_lock<std::mutex>& lock, bool newest) {
  if (todo_.empty()) return false;
  std::shared_ptr<Job> job = newest ? todo_.back() : todo_.front();
  if (newest) todo_.pop_back();
  else todo_.pop_front();
  lock.unlock();
  if (job->work) job->work();
  job->work = nullptr;  // what it held goes back as soon as it is done
  lock.lock();
  job->finished = true;
  finished_.notify_all();
  return true;
}

void OrderedWork::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !todo_.empty(); });
    if (stop_) return;
    runOne(lock, false);
  }
}

void OrderedWork::collect(std::unique_lock<std::mutex>& lock, size_t keep) {
  for (;;) {
    if (order_.empty()) return;
    if (!order_.front()->finished) {
      if (order_.size() <= keep) return;
      // Rather than wait idle, the caller does work of its own: the newest,
      // leaving the oldest to the workers. Had it taken a long piece of
      // work from the front (a table of 20,000 objects), the workers would
      // soon be idle: nothing new is given while the window is full.
      if (runOne(lock, true)) continue;
      finished_.wait(lock, [this] { return order_.front()->finished; });
    }
    std::shared_ptr<Job> job = order_.front();
    order_.pop_front();
    // done runs unlocked: it may print and touch the caller's data only.
    lock.unlock();
    job->done();
    lock.lock();
  }
}

void OrderedWork::addTask(std::function<void()> work, std::function<void()> done) {
  if (threads_.empty()) {
    settle();
    if (work) work();
    done();
    return;
  }
  auto job = std::make_shared<Job>();
  job->work = std::move(work);
  job->done = std::move(done);
  std::unique_lock<std::mutex> lock(mutex_);
  order_.push_back(job);
  todo_.push_back(job);
  wake_.notify_one();
  collect(lock, window_);
}

void OrderedWork::settle() {
  std::unique_lock<std::mutex> lock(mutex_);
  collect(lock, 0);
}

}  // namespace unkiln
