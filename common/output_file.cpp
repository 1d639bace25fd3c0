#include "common/output_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <new>
#include <random>

#include "common/quiet_thread.h"
#include "common/temp_list.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace kit {

namespace temp_list {

namespace {

// The one piece of process-wide state: a signal reaches the process, not a
// run, so the handler needs the temporary paths of every output at hand, as
// ready C strings (it may not allocate). A batch of outputs holds thousands
// of temporary files at once, so the list grows by blocks; a block, once
// published, stays for the life of the process, so the handler can walk the
// blocks without a lock.
constexpr int kBlock = 1024;
constexpr int kBlocks = 64;
struct Block {
  std::atomic<char*> places[kBlock];
};
std::atomic<Block*> blocks[kBlocks];

std::atomic<char*>* placeAt(int place) {
  Block* block = blocks[place / kBlock].load();
  return block ? &block->places[place % kBlock] : nullptr;
}

uint64_t mix(uint64_t x) {  // splitmix64: spreads a counter over 64 bits
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

uint64_t nextRandom() {
  // Seeded from the system's entropy, the process and the clock, so that runs
  // started at the same instant pick different names; a name that is taken
  // all the same is refused by the exclusive create and another one tried.
  static const uint64_t seed = [] {
    std::random_device entropy;
#ifdef _WIN32
    uint64_t pid = uint64_t(_getpid());
#else
    uint64_t pid = uint64_t(getpid());
#endif
    return (uint64_t(entropy()) << 32 | entropy()) ^ (pid << 40) ^
           uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
  }();
  static std::atomic<uint64_t> counter{0};
  return mix(seed + mix(counter.fetch_add(1)));
}

// Where the last path went: the search for a free place starts after it, so
// that a batch holding thousands of paths does not walk past them all for
// each new one.
std::atomic<int> lastHeld{-1};

}  // namespace

int hold(const std::string& path) {
  char* copy = new char[path.size() + 1];
  std::memcpy(copy, path.c_str(), path.size() + 1);
  constexpr int kPlaces = kBlock * kBlocks;
  const int start = lastHeld.load() + 1;
  for (int n = 0; n < kPlaces; ++n) {
    const int place = (start + n) % kPlaces, b = place / kBlock;
    Block* block = blocks[b].load();
    if (!block) {
      Block* fresh = new (std::nothrow) Block{};
      if (!fresh) break;
      Block* expected = nullptr;
      if (blocks[b].compare_exchange_strong(expected, fresh)) {
        block = fresh;
      } else {
        delete fresh;
        block = expected;
      }
    }
    char* expected = nullptr;
    if (block->places[place % kBlock].compare_exchange_strong(expected, copy)) {
      lastHeld.store(place);
      return place;
    }
  }
  delete[] copy;
  errno = EMFILE;
  return -1;
}

void release(int place) {
  if (place < 0 || place >= kBlock * kBlocks) return;
  if (std::atomic<char*>* at = placeAt(place)) delete[] at->exchange(nullptr);
}

void forEach(void (*remove)(const char* path)) {
  for (auto& b : blocks)
    if (Block* block = b.load())
      for (auto& place : block->places)
        if (char* path = place.load()) remove(path);
}

std::string folderOf(const std::string& path) {
#ifdef _WIN32
  size_t slash = path.find_last_of("\\/");
#else
  size_t slash = path.rfind('/');
#endif
  if (slash == std::string::npos) return ".";
  if (slash == 0) return path.substr(0, 1);
  return path.substr(0, slash);
}

std::string temporaryName(const std::string& target) {
  static const char digits[] = "abcdefghijklmnopqrstuvwxyz234567";
  uint64_t r = nextRandom();
  char part[14] = {'.'};
  for (int i = 1; i < 13; ++i, r >>= 5) part[i] = digits[r & 31];
  part[13] = '\0';
  // A long final name is shortened so that the temporary name still fits
  // the folder's limit of 255 bytes a name.
#ifdef _WIN32
  size_t slash = target.find_last_of("\\/");
#else
  size_t slash = target.rfind('/');
#endif
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::string name = target.substr(0, nameStart + std::min<size_t>(target.size() - nameStart, 200));
  return name + part + ".tmp";
}

}  // namespace temp_list

AtomicFile::~AtomicFile() { discard(); }

void AtomicFile::discard() {
  int saved = errno;
  if (file) {
    std::fclose(file);
    file = nullptr;
  }
  if (slot >= 0) {
    temp_list::InterruptGuard guard;
    temp_list::removeOne(tmpPath.c_str());
    temp_list::release(slot);
    slot = -1;
  }
  errno = saved;
}

bool AtomicFile::finish(bool sync) {
  if (!file) {
    errno = EBADF;
    return false;
  }
  int err = 0;
  if (std::fflush(file) != 0 || std::ferror(file)) err = errno ? errno : EIO;
  // On the disk before the rename, so a crash never leaves an empty file
  // under the final name.
  if (!err) err = temp_list::flushToDisk(file, sync);
  if (std::fclose(file) != 0 && !err) err = errno;
  file = nullptr;
  if (!err) return true;
  discard();
  errno = err;
  return false;
}

void removeTemporaryFiles() { temp_list::forEach(temp_list::removeOne); }

bool AtomicFile::write(const void* data, size_t size) {
  if (!file) {
    errno = EBADF;
    return false;
  }
  return size == 0 || std::fwrite(data, 1, size, file) == size;
}

OutputResult writeWholeFile(const std::string& path, const void* data, size_t size) {
  AtomicFile out;
  if (!out.open(path)) return OutputResult::createFailed;
  if (!out.write(data, size) || !out.commit()) {
    int saved = errno;
    out.discard();
    errno = saved;
    return OutputResult::writeFailed;
  }
  return OutputResult::written;
}

OutputBatch::~OutputBatch() {
  discard();
  joinFlusher();
}

void OutputBatch::wrote(const std::string& folder, size_t size) {
  // Eight megabytes: a flush each costs a write of the file system's own
  // tables as well, and the data written in the meantime keeps the disk busy.
  constexpr size_t kFlushAhead = size_t(8) << 20;
  unflushed_ += size;
  if (unflushed_ < kFlushAhead || flushing_.load()) return;
  if (flusher_.joinable()) flusher_.join();  // done: flushing_ is false
  unflushed_ = 0;
  flushing_ = true;
  flusher_ = startQuietThread([this, folder] {
    temp_list::flushAhead(folder);
    flushing_ = false;
  });
  if (!flusher_.joinable()) flushing_ = false;
}

void OutputBatch::joinFlusher() {
  std::thread flusher;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    flusher = std::move(flusher_);
  }
  if (flusher.joinable()) flusher.join();
}

void OutputBatch::folderIsNew(const std::string& folder) {
  std::lock_guard<std::mutex> lock(mutex_);
  newFolders_.push_back(folder);
}

OutputResult OutputBatch::add(const std::string& path, const void* data, size_t size) {
  return add(path, std::vector<Piece>{{data, size}});
}

int OutputBatch::put(const std::string& path, const std::vector<Piece>& pieces) {
  errno = 0;
  if (add(path, pieces) == OutputResult::written) return 0;
  return errno ? errno : EIO;
}

OutputResult OutputBatch::add(const std::string& path, const std::vector<Piece>& pieces) {
  std::unique_ptr<Stream> stream = open(path);
  append(*stream, pieces);
  return finish(std::move(stream));
}

OutputBatch::Stream::~Stream() {
  if (!staged) return;  // beside removes its own temporary file
  std::fclose(staged);
  std::remove(where.c_str());
}

std::unique_ptr<OutputBatch::Stream> OutputBatch::open(const std::string& path) {
  auto stream = std::make_unique<Stream>();
  const auto failed = [&stream] {
    stream->error = errno ? errno : EIO;
    stream->result = OutputResult::createFailed;
    return std::move(stream);
  };
  bool inNewFolder = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!staged_.empty() && path.size() > stagedFinal_.size() + 1 &&
        path.compare(0, stagedFinal_.size(), stagedFinal_) == 0 && path[stagedFinal_.size()] == '/' &&
        ("/" + path.substr(stagedFinal_.size()) + "/").find("/../") == std::string::npos) {
      // (A path that climbs out of the folder is not in it.)
      const std::string relative = path.substr(stagedFinal_.size() + 1);
      // The folders of the staged tree are made as their first file comes.
      for (size_t slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', slash + 1)) {
        const std::string sub = relative.substr(0, slash);
        if (std::find(stagedFolders_.rbegin(), stagedFolders_.rend(), sub) != stagedFolders_.rend()) continue;
        if (!temp_list::makeStagingFolder(staged_ + "/" + sub) && errno != EEXIST) return failed();
        stagedFolders_.push_back(sub);
      }
      stagedFiles_.push_back(relative);
      stream->where = staged_ + "/" + relative;
    } else {
      // The latest folders first: files are added folder by folder.
      const std::string folder = temp_list::folderOf(path);
      inNewFolder = std::find(newFolders_.rbegin(), newFolders_.rend(), folder) != newFolders_.rend();
    }
  }
  errno = 0;
  if (!stream->where.empty()) {
    // Nobody else writes in the staged folder: the file is made under its
    // own name, and truncated should the same output come twice (the last
    // wins, as its rename would).
    stream->staged = std::fopen(stream->where.c_str(), "wb");
    if (!stream->staged) return failed();
    std::setvbuf(stream->staged, nullptr, _IONBF, 0);
    return stream;
  }
  stream->beside = std::make_unique<AtomicFile>();
  if (!stream->beside->open(path, "wb", inNewFolder)) {
    stream->beside.reset();
    return failed();
  }
  // The bytes come in whole pieces: one write a piece, not a buffer's worth
  // at a time.
  std::setvbuf(stream->beside->file, nullptr, _IONBF, 0);
  return stream;
}

void OutputBatch::append(Stream& stream, const std::vector<Piece>& pieces) {
  if (stream.error) return;
  FILE* file = stream.staged ? stream.staged : stream.beside->file;
  size_t size = 0;
  for (const Piece& piece : pieces) {
    errno = 0;
    if (piece.size != 0 && std::fwrite(piece.data, 1, piece.size, file) != piece.size) {
      stream.error = errno ? errno : EIO;
      stream.result = OutputResult::writeFailed;
      return;
    }
    size += piece.size;
  }
  // Counted for the flush ahead as they are written: a page of megabytes
  // starts on its way to the disk before it is closed.
  std::lock_guard<std::mutex> lock(mutex_);
  wrote(stream.staged ? staged_ : temp_list::folderOf(stream.beside->target), size);
}

int OutputBatch::close(std::unique_ptr<Stream> stream) {
  errno = 0;
  if (finish(std::move(stream)) == OutputResult::written) return 0;
  return errno ? errno : EIO;
}

OutputResult OutputBatch::finish(std::unique_ptr<Stream> stream) {
  int err = stream->error;
  const OutputResult result = err ? stream->result : OutputResult::writeFailed;
  if (stream->staged) {
    FILE* file = stream->staged;
    stream->staged = nullptr;
    if (std::fclose(file) != 0 && !err) err = errno ? errno : EIO;
    if (!err) return OutputResult::written;
    // Not left half-written for the folder's rename to put in place.
    std::remove(stream->where.c_str());
  } else if (!err) {
    // Closed now: a batch holds more files than a process may keep open.
    if (stream->beside->finish(false)) {
      std::lock_guard<std::mutex> lock(mutex_);
      pending_.push_back(std::move(stream->beside));
      return OutputResult::written;
    }
    err = errno ? errno : EIO;
  }
  stream.reset();  // a temporary file beside goes with it
  errno = err;
  return result;
}

bool OutputBatch::stageFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!staged_.empty()) {
    errno = EBUSY;
    return false;
  }
  std::string final = folder;
  while (final.size() > 1 && final.back() == '/') final.pop_back();
  // Whatever stands there (a folder, a file, a link) keeps its outputs one
  // by one.
  std::error_code ec;
  if (std::filesystem::symlink_status(final, ec).type() != std::filesystem::file_type::not_found) {
    errno = EEXIST;
    return false;
  }
  temp_list::installHandlers();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = temp_list::temporaryName(final);
    temp_list::InterruptGuard guard;
    // The trailing '/' tells an interrupt to remove the folder and its files.
    stagedSlot_ = temp_list::hold(name + "/");
    if (stagedSlot_ < 0) return false;
    if (temp_list::makeStagingFolder(name)) {
      stagedFinal_ = final;
      staged_ = name;
      return true;
    }
    const int err = errno;
    temp_list::release(stagedSlot_);
    stagedSlot_ = -1;
    errno = err;
    if (err != EEXIST) return false;
  }
  return false;
}

void OutputBatch::removeStaged() {
  if (staged_.empty()) return;
  int saved = errno;
  {
    temp_list::InterruptGuard guard;
    temp_list::removeOne((staged_ + "/").c_str());
    temp_list::release(stagedSlot_);
  }
  stagedSlot_ = -1;
  staged_.clear();
  stagedFiles_.clear();
  stagedFolders_.clear();
  errno = saved;
}

// Another run made the folder while this one staged it: each file goes into
// it as a file of a folder not staged would, in the order added.
bool OutputBatch::moveStagedFiles() {
  std::vector<std::string> folders{stagedFinal_};
  for (const std::string& sub : stagedFolders_) {
    const std::string folder = stagedFinal_ + "/" + sub;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    folders.push_back(folder);
  }
  int err = 0;
  for (const std::string& relative : stagedFiles_) {
    const std::string from = staged_ + "/" + relative, to = stagedFinal_ + "/" + relative;
    if (std::rename(from.c_str(), to.c_str()) != 0 && errno != ENOENT) {  // ENOENT: a file that failed
      err = errno;
      failed_ = to;
      break;
    }
  }
  temp_list::syncBatch(folders, false);
  errno = err;
  return err == 0;
}

bool OutputBatch::commitStaged() {
  int err = 0;
  bool renamed = false;
  {
    temp_list::InterruptGuard guard;
    if (temp_list::renameFolder(staged_, stagedFinal_)) {
      temp_list::release(stagedSlot_);
      stagedSlot_ = -1;
      staged_.clear();
      renamed = true;
    } else {
      err = errno;
    }
  }
  bool ok = true;
  if (renamed) {
    temp_list::syncBatch({temp_list::folderOf(stagedFinal_)}, false);
  } else if (err == EEXIST || err == ENOTEMPTY) {
    ok = moveStagedFiles();
    if (!ok) err = errno;
  } else {
    failed_ = stagedFinal_;
    ok = false;
  }
  removeStaged();  // what is left of it
  stagedFiles_.clear();
  stagedFolders_.clear();
  errno = err;
  return ok;
}

bool OutputBatch::commit() {
  joinFlusher();
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> folders;
  for (const auto& out : pending_) {
    std::string folder = temp_list::folderOf(out->target);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
  }
  // One flush for the files, the staged ones with the rest.
  std::vector<std::string> flushed = folders;
  if (!staged_.empty()) flushed.push_back(staged_);
  temp_list::syncBatch(flushed, true);
  bool ok = true;
  for (auto& out : pending_) {
    if (!out->renameIntoPlace()) {
      int saved = errno;
      failed_ = out->path;
      for (auto& rest : pending_) rest->discard();
      removeStaged();
      errno = saved;
      ok = false;
      break;
    }
  }
  // Renames that happened are made durable whatever came after them.
  temp_list::syncBatch(folders, false);
  pending_.clear();
  if (ok && !staged_.empty()) ok = commitStaged();
  return ok;
}

void OutputBatch::discard() {
  std::lock_guard<std::mutex> lock(mutex_);
  pending_.clear();  // each AtomicFile removes its temporary file
  removeStaged();
}

size_t OutputBatch::pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pending_.size() + stagedFiles_.size();
}

void reportWriteFailure(const std::string& path) {
  std::string text = "ERROR: failed to write " + path;
  std::perror(text.c_str());
}

}  // namespace kit
