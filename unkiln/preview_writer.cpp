#include "unkiln/preview_writer.h"

#include <cerrno>
#include <new>

namespace unkiln {

PictureWriter::PictureWriter(kit::OutputBatch& batch, int workers, size_t window)
    : OrderedWork(workers, window), batch_(batch) {}

namespace {
// Encodes and adds one picture; errno on failure.
int writePicture(kit::OutputBatch& batch, const std::string& path, const Picture& picture, int scale) {
  try {
    const std::vector<uint8_t> png = scale > 1 ? encodePng(enlarged(picture, scale)) : encodePng(picture);
    return batch.put(path, {{png.data(), png.size()}});
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  }
}
}  // namespace

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
      [w] { w->done(w->error); });
}

}  // namespace unkiln
