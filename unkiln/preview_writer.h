#pragma once
// The preview's PNG files, encoded and written on worker threads while the
// caller draws the next pictures, and other work of the preview (a table's
// description) beside them (addTask).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/output_file.h"
#include "unkiln/ordered_work.h"
#include "unkiln/preview_image.h"

namespace unkiln {

class PictureWriter : public OrderedWork {
 public:
  // Told on the caller's thread 0 when the file was added to the batch,
  // else the system's reason.
  using Done = std::function<void(int error)>;

  // workers threads; at most window pictures wait or are encoded at a time.
  PictureWriter(kit::OutputBatch& batch, int workers, size_t window);

  // Queues picture, enlarged n times, as the file path. While the window is
  // full, waits for the oldest; calls done for every picture finished before
  // it, in order.
  void add(std::string path, std::shared_ptr<const Picture> picture, int n, Done done);

 private:
  kit::OutputBatch& batch_;
};

}  // namespace unkiln
