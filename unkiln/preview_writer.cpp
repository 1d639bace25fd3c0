#include "unkiln/preview_writer.h"

#include "common/quiet_thread.h"

#include <cerrno>
#include <new>

namespace unkiln {

PictureWriter::PictureWriter(kit::OutputBatch& batch, int workers, size_t window)
    : batch_(batch), window_(window < 1 ? 1 : window) {
  // Fewer threads than asked when the system has no more; with none, add()
  // writes each picture itself.
  for (int i = 0; i < workers; ++i) {
    std::thread t = kit::startQuietThread([this] { work(); });
    if (!t.joinable()) break;
    threads_.push_back(std::move(t));
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

bool PictureWriter::runOne(std::unique_lock<std::mutex>& lock) {
  if (todo_.empty()) return false;
  std::shared_ptr<Job> job = todo_.front();
  todo_.pop_front();
  lock.unlock();
  job->work();
  job->work = nullptr;  // what it held goes back as soon as it is done
  lock.lock();
  job->finished = true;
  finished_.notify_all();
  return true;
}

void PictureWriter::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !todo_.empty(); });
    if (stop_) return;
    runOne(lock);
  }
}

void PictureWriter::collect(std::unique_lock<std::mutex>& lock, size_t keep) {
  for (;;) {
    if (order_.empty()) return;
    if (!order_.front()->finished) {
      if (order_.size() <= keep) return;
      // Rather than wait idle, the caller does work of its own.
      if (runOne(lock)) continue;
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

void PictureWriter::add(std::string path, std::shared_ptr<const Picture> picture, int n, Done done) {
  struct Written {
    std::string path;
    std::shared_ptr<const Picture> picture;
    Done done;
    int error = 0;
  };
  auto w = std::make_shared<Written>(Written{std::move(path), std::move(picture), std::move(done)});
  addTask(
      [this, w, n] {
        w->error = writePicture(batch_, w->path, *w->picture, n);
        w->picture.reset();
      },
      [w] { w->done(w->error == 0, w->error); });
}

void PictureWriter::addVariants(std::vector<File> files, const Indexed& picture, int n) {
  struct Shared {
    Indexed size;  // width and height only
    std::vector<uint8_t> rows;
  };
  auto shared = std::make_shared<Shared>();
  try {
    const Indexed big = n > 1 ? enlarged(picture, n) : Indexed{};
    const Indexed& image = n > 1 ? big : picture;
    shared->size.width = image.width;
    shared->size.height = image.height;
    shared->rows = idatChunk(compressedRows(image));
  } catch (const std::bad_alloc&) {
    for (File& f : files) f.done(false, ENOMEM);
    return;
  }
  const std::vector<uint32_t> own = picture.colours;
  for (File& f : files) {
    auto file = std::make_shared<File>(std::move(f));
    auto error = std::make_shared<int>(0);
    addTask(
        [this, shared, file, error, own] {
          try {
            const std::vector<uint8_t> head = pngHead(shared->size, file->colours.empty() ? own : file->colours);
            errno = 0;
            if (batch_.add(file->path, {{head.data(), head.size()},
                                        {shared->rows.data(), shared->rows.size()},
                                        {pngTail().data(), pngTail().size()}}) != kit::OutputResult::written)
              *error = errno ? errno : EIO;
          } catch (const std::bad_alloc&) {
            *error = ENOMEM;
          }
        },
        [file, error] { file->done(*error == 0, *error); });
  }
}

void PictureWriter::addTask(std::function<void()> work, std::function<void()> done) {
  if (threads_.empty()) {
    settle();
    work();
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

void PictureWriter::settle() {
  std::unique_lock<std::mutex> lock(mutex_);
  collect(lock, 0);
}

}  // namespace unkiln
