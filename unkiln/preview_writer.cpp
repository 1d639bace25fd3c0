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
// Encodes and adds a picture's files; errno of each, 0 when written.
std::vector<int> writePicture(kit::OutputBatch& batch, const std::vector<PictureWriter::File>& files,
                              const Picture& picture, int scale) {
  std::vector<int> errors(files.size(), 0);
  try {
    const Picture big = scale > 1 ? enlarged(picture, scale) : Picture{};
    const Picture& image = scale > 1 ? big : picture;
    std::vector<uint8_t> rows;
    if (!image.full) rows = compressedRows(image.indexed);
    for (size_t i = 0; i < files.size(); ++i) {
      const std::vector<uint8_t> png =
          image.full ? encodePng(image.rgba)
                     : palettePng(image.indexed, files[i].colours.empty() ? image.indexed.colours : files[i].colours,
                                  rows);
      errno = 0;
      if (batch.add(files[i].path, png.data(), png.size()) != kit::OutputResult::written) errors[i] = errno ? errno : EIO;
    }
  } catch (const std::bad_alloc&) {
    for (int& e : errors)
      if (e == 0) e = ENOMEM;
  }
  return errors;
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
    std::vector<int> errors = writePicture(batch_, job->files, *job->picture, job->scale);
    job->picture.reset();  // the memory goes back as soon as the file is written
    lock.lock();
    job->finished = true;
    job->errors = std::move(errors);
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
    for (size_t i = 0; i < job->files.size(); ++i) job->files[i].done(job->errors[i] == 0, job->errors[i]);
    lock.lock();
  }
}

void PictureWriter::add(std::string path, std::shared_ptr<const Picture> picture, int n, Done done) {
  std::vector<File> files;
  files.push_back({std::move(path), {}, std::move(done)});
  add(std::move(files), std::move(picture), n);
}

void PictureWriter::add(std::vector<File> files, std::shared_ptr<const Picture> picture, int n) {
  if (threads_.empty()) {
    settle();
    const std::vector<int> errors = writePicture(batch_, files, *picture, n);
    for (size_t i = 0; i < files.size(); ++i) files[i].done(errors[i] == 0, errors[i]);
    return;
  }
  auto job = std::make_shared<Job>();
  job->files = std::move(files);
  job->picture = std::move(picture);
  job->scale = n;
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
