#include "kiln/pdb/pdb.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "common/exit.h"
#include "common/quiet_thread.h"
#include "kiln/pdb/bytes.h"

namespace kiln {

namespace {
constexpr uint32_t kEpochDelta = 2082844800u;  // 1904-01-01 to 1970-01-01
constexpr uint16_t kAttributes = 0x0808;        // backup and bundle bits

// A database that cannot be created or written ends the run at once, without
// the pause; the message names its final path.
[[noreturn]] void failCreate(const std::string& path) {
  std::string text = "ERROR: failed to open " + path + "\n";
  std::perror(text.c_str());
  throw kit::Exit{1, false};
}

[[noreturn]] void failWrite(const std::string& path) {
  kit::reportWriteFailure(path);
  throw kit::Exit{1, false};
}
}  // namespace

void swapLong(uint32_t* value) {
  uint8_t* b = reinterpret_cast<uint8_t*>(value);
  std::swap(b[0], b[3]);
  std::swap(b[1], b[2]);
}

void swapWords(uint16_t* values, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t* b = reinterpret_cast<uint8_t*>(values + i);
    std::swap(b[0], b[1]);
  }
}

uint32_t palmTimeNow() {
  // Reproducible builds: a number in SOURCE_DATE_EPOCH stands for the clock.
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  if (epoch && *epoch) {
    char* end = nullptr;
    errno = 0;
    long long seconds = std::strtoll(epoch, &end, 10);
    if (*end == '\0' && errno == 0) return uint32_t(seconds + kEpochDelta);
  }
  return uint32_t(uint64_t(std::time(nullptr)) + kEpochDelta);
}

std::unique_ptr<Database> createPDB(const std::string& name, const std::string& path, uint32_t type,
                                    uint32_t creator, uint16_t version) {
  auto db = std::make_unique<Database>();
  db->path = path + ".pdb";
  if (!db->out.open(db->path)) failCreate(db->path);

  uint8_t* h = db->header;
  std::memcpy(h, name.data(), std::min<size_t>(name.size(), 32));
  setBE16(h + 32, kAttributes);
  setBE16(h + 34, version);
  uint32_t now = palmTimeNow();
  setBE32(h + 36, now);
  setBE32(h + 40, now);
  setBE32(h + 60, type);
  setBE32(h + 64, creator);
  setBE16(h + 76, 1);
  return db;
}

namespace {
constexpr size_t kBigDatabase = size_t(1) << 20;
constexpr size_t kReservedRoom = size_t(64) << 20;
}  // namespace

void addPDBEntry(Database& db, const char* code, const uint8_t* data, size_t length) {
  if (db.recordOffsets.size() >= kMaxRecords) {
    std::fprintf(stderr, "ERROR: %s would hold more than %zu records\n", db.path.c_str(), kMaxRecords);
    kit::fail(1);
  }
  size_t stored = length + (code ? 2 : 0);
  stored = (stored + 3) & ~size_t(3);
  size_t start = db.recordData.size();
  if (start + stored > 0xFFFFFFFFu - 0x100000u) {
    std::fprintf(stderr, "ERROR: %s would hold more than 4 GB of records\n", db.path.c_str());
    kit::fail(1);
  }
  // A big database takes room for 64 MB at once instead of doubling its
  // buffer again and again: each doubling copied every byte so far into new
  // pages, and the room not yet written costs no memory.
  if (start + stored > db.recordData.capacity() && start >= kBigDatabase && start + stored < kReservedRoom)
    db.recordData.reserve(kReservedRoom);
  db.recordOffsets.push_back(uint32_t(start));
  // The bytes are appended as they are, then the padding: each byte is
  // written once.
  if (code) {
    db.recordData.push_back(uint8_t(code[0]));
    db.recordData.push_back(uint8_t(code[1]));
  }
  if (length) db.recordData.insert(db.recordData.end(), data, data + length);
  db.recordData.resize(start + stored, 0);
}

namespace {
// Writes the record list and the data to db's temporary file; false (errno
// set) when that fails.
bool writeRecords(Database& db) {
  size_t count = db.recordOffsets.size();
  std::vector<uint8_t> file(db.header, db.header + kHeaderSize);  // header and record list
  setBE16(file.data() + 76, uint32_t(count));
  uint32_t dataStart = uint32_t(kHeaderSize + 8 * count + 2);
  for (uint32_t offset : db.recordOffsets) {
    appendBE32(file, dataStart + offset);
    appendBE32(file, 0);  // attributes and unique ID
  }
  file.push_back(0);  // the two-byte gap
  file.push_back(0);

  // The record data is written from where it lies: a copy behind the list
  // would double the memory of the largest database for nothing.
  const std::vector<uint8_t>& data = db.recordData;
  return db.out.write(file.data(), file.size()) && db.out.write(data.data(), data.size());
}

void printSummary(const Database& db) {
  std::printf("Wrote %d records for %d data bytes.\n", int(db.recordOffsets.size()), int(db.recordData.size()));
}
}  // namespace

void finishPDB(Database& db) {
  if (!writeRecords(db) || !db.out.commit()) failWrite(db.path);
  printSummary(db);
  db.recordData = {};
  db.recordOffsets = {};
}

DatabaseCommits::~DatabaseCommits() {
  const std::string failed = join();
  if (!failed.empty()) kit::reportWriteFailure(failed);
}

std::string DatabaseCommits::join() {
  if (thread_.joinable()) thread_.join();
  std::string failed = failed_ ? db_->path : std::string();
  errno = error_;
  db_.reset();  // a failed database's temporary file goes with it
  failed_ = false;
  error_ = 0;
  return failed;
}

void DatabaseCommits::wait() {
  const std::string failed = join();
  if (!failed.empty()) failWrite(failed);
}

void DatabaseCommits::finish(std::unique_ptr<Database> db) {
  wait();
  printSummary(*db);
  db_ = std::move(db);
  Database* d = db_.get();
  thread_ = kit::startQuietThread([this, d] {
    try {
      if (!writeRecords(*d) || !d->out.commit()) {
        failed_ = true;
        error_ = errno;
      }
    } catch (const std::bad_alloc&) {
      failed_ = true;
      error_ = ENOMEM;
    }
    d->recordData = {};  // the next database's records need the room
  });
  if (!thread_.joinable()) {
    // No thread to be had: the database is written here and now.
    const std::unique_ptr<Database> here = std::move(db_);
    if (!writeRecords(*here) || !here->out.commit()) failWrite(here->path);
  }
}

int addStringRecord(const std::string& text, const char* code, int minor, int major, Database& db) {
  std::vector<uint8_t> record;
  record.reserve(text.size() + 2);
  record.push_back(uint8_t(major));
  record.push_back(uint8_t(minor));
  record.insert(record.end(), text.begin(), text.end());
  addPDBEntry(db, code, record);
  return 0;
}

}  // namespace kiln
