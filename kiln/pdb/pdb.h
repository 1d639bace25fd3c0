#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/output_file.h"

namespace kiln {

constexpr size_t kHeaderSize = 78;
constexpr size_t kMaxRecords = 65535;  // the record count is a 16-bit field

// One database being built. Records are kept in memory; finishPDB writes the
// whole file beside its final path and renames it into place, so a build that
// fails never leaves a half-written database.
struct Database {
  std::string path;  // final path, ending in ".pdb"
  kit::AtomicFile out;
  uint8_t header[kHeaderSize] = {};
  std::vector<uint8_t> recordData;      // stored form of every record
  std::vector<uint32_t> recordOffsets;  // start of each record in recordData
};

// Creates path + ".pdb" (path is without its extension). A file that cannot be
// created (also a folder in its way) is reported at once through perror and
// ends the run (status 1, no pause).
std::unique_ptr<Database> createPDB(const std::string& name, const std::string& path, uint32_t type,
                                    uint32_t creator, uint16_t version);

// Appends one record: the two code characters (when code is not null), the
// data, then zero bytes up to a multiple of 4.
void addPDBEntry(Database& db, const char* code, const uint8_t* data, size_t length);
inline void addPDBEntry(Database& db, const char* code, const std::vector<uint8_t>& data) {
  addPDBEntry(db, code, data.data(), data.size());
}

// Lays out the record list and data, writes the file, prints the summary line.
// A failed write ends the run as a failed create does, with
// "ERROR: failed to write PATH" and the system's reason.
void finishPDB(Database& db);

// Finished databases brought to the disk while the run compiles the next one.
// Flushing a database of megabytes and renaming it over the old one (whose
// blocks are then freed) keeps the disk busy for milliseconds that the
// compilers can use. One database is in flight at a time, so they are put in
// place in the order they were finished.
class DatabaseCommits {
 public:
  DatabaseCommits() = default;
  DatabaseCommits(const DatabaseCommits&) = delete;
  DatabaseCommits& operator=(const DatabaseCommits&) = delete;
  // Waits for the database in flight. A run that ends by a failure gets here:
  // that database's own failure is reported too, but not thrown.
  ~DatabaseCommits();

  // Waits for the database before (see wait()), prints the summary line,
  // then writes, flushes and renames db on a thread of its own.
  void finish(std::unique_ptr<Database> db);
  // Waits for the database in flight; when it failed, reports it as
  // finishPDB does and ends the run.
  void wait();

 private:
  // Joins the thread; the path of a failed database and errno set to why, or
  // an empty path.
  std::string join();

  std::thread thread_;
  std::unique_ptr<Database> db_;
  bool failed_ = false;
  int error_ = 0;
};

// [major][minor][text] under code; text of at most 253 characters.
int addStringRecord(const std::string& text, const char* code, int minor, int major, Database& db);

// Seconds since 1 January 1904: SOURCE_DATE_EPOCH when it holds a number, else now.
uint32_t palmTimeNow();

}  // namespace kiln
