#include "unkiln/preview_writer.h"

#include <cerrno>
#include <new>
#include <system_error>

namespace unkiln {

PictureWriter::PictureWriter(kit::OutputBatch& batch, int workers, size_t window)
    : batch_(batch), window_(window < 1 ? 1 : window) {
  try {
    for (int i = 0; i < workers; ++i) threads_.emplace_back([this] { work(); });
  } catch (const std::system_error&) {
    // Fewer threads than asked; with none, add() writes each picture itself.
  }
}

PictureWriter::~PictureWriter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    todo_.clear();
  }
  wake_.notify_all();
  for (std::thread& t : threads_) t.join();
}

namespace {
// Encodes and adds one picture; errno on failure.
int writePicture(kit::OutputBatch& batch, const std::string& path, const Picture& picture, int scale) {
  try {
    const std::vector<uint8_t> png = scale > 1 ? encodePng(enlarged(picture, scale)) : encodePng(picture);
    errno = 0;
    if (batch.add(path, png.data(), png.size()) == kit::OutputResult::written) return 0;
    return errno ? errno : EIO;
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  }
}
}  // namespace

void PictureWriter::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !todo_.empty(); });
    if (stop_) return;
    std::shared_ptr<Job> job = todo_.front();
    todo_.pop_front();
    lock.unlock();
    const int error = writePicture(batch_, job->path, *job->picture, job->scale);
    job->picture.reset();  // the memory goes back as soon as the file is written
    lock.lock();
    job->finished = true;
    job->written = error == 0;
    job->error = error;
    finished_.notify_all();
  }
}

void PictureWriter::collect(std::unique_lock<std::mutex>& lock, size_t keep) {
  for (;;) {
    if (order_.empty()) return;
    if (!order_.front()->finished) {
      if (order_.size() <= keep) return;
      finished_.wait(lock, [this] { return order_.front()->finished; });
    }
    std::shared_ptr<Job> job = order_.front();
    order_.pop_front();
    // done runs unlocked: it may print and touch the caller's data only.
    lock.unlock();
    job->done(job->written, job->error);
    lock.lock();
  }
}

void PictureWriter::add(std::string path, std::shared_ptr<const Picture> picture, int n, Done done) {
  if (threads_.empty()) {
    settle();
    const int error = writePicture(batch_, path, *picture, n);
    done(error == 0, error);
    return;
  }
  auto job = std::make_shared<Job>();
  job->path = std::move(path);
  job->picture = std::move(picture);
  job->scale = n;
  job->done = std::move(done);
  std::unique_lock<std::mutex> lock(mutex_);
  order_.push_back(job);
  todo_.push_back(job);
  wake_.notify_one();
  collect(lock, window_);
}

void PictureWriter::settle() {
  std::unique_lock<std::mutex> lock(mutex_);
  collect(lock, 0);
}

}  // namespace unkiln
