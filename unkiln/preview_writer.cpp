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
    errno = 0;
    if (batch.add(path, png.data(), png.size()) == kit::OutputResult::written) return 0;
    return errno ? errno : EIO;
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

}  // namespace unkiln
