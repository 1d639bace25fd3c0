#pragma once
// Helpers shared by kiln's unit tests: a scratch folder, file I/O, running a
// compiler with its output captured, and reading back a finished database.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "common/exit.h"
#include "common/test_files.h"
#include "kiln/driver/run_state.h"
#include "kiln/pdb/pdb.h"

namespace kiln::testing {

using kit::testing::Bytes;
using kit::testing::fileExists;
using kit::testing::kSlowdown;
using kit::testing::readFile;
using kit::testing::readTextFile;
using kit::testing::TempDir;

// What a piece of work printed and how it ended.
struct Outcome {
  bool exited = false;  // threw kit::Exit
  int status = 0;
  bool pause = false;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs work with standard output and error captured, catching kit::Exit.
inline Outcome capture(const std::function<void()>& work) {
  Outcome o;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  try {
    work();
  } catch (const kit::Exit& e) {
    o.exited = true;
    o.status = e.status;
    o.pause = e.pause;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  o.out = ::testing::internal::GetCapturedStdout();
  o.err = ::testing::internal::GetCapturedStderr();
  return o;
}

// A database read back from disk.
struct PdbFile {
  Bytes bytes;
  std::vector<Bytes> records;  // stored form of each record: code, data, padding
  int recordCount() const { return int(records.size()); }
  // The record's data after its two code characters, padding included.
  Bytes data(int i) const { return Bytes(records[i].begin() + 2, records[i].end()); }
  std::string code(int i) const { return std::string(records[i].begin(), records[i].begin() + 2); }
};

inline uint32_t be32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}
inline uint16_t be16(const Bytes& b, size_t at) { return uint16_t(b[at] << 8 | b[at + 1]); }

inline PdbFile readPdb(const std::string& path) {
  PdbFile f;
  f.bytes = readFile(path);
  if (f.bytes.size() < kHeaderSize) {
    ADD_FAILURE() << path << " is too short for a database";
    return f;
  }
  int n = be16(f.bytes, 76);
  for (int i = 0; i < n; ++i) {
    size_t start = be32(f.bytes, kHeaderSize + 8 * i);
    size_t end = i + 1 < n ? be32(f.bytes, kHeaderSize + 8 * (i + 1)) : f.bytes.size();
    if (start > end || end > f.bytes.size()) {
      ADD_FAILURE() << path << ": bad offset of record " << i;
      return f;
    }
    f.records.emplace_back(f.bytes.begin() + start, f.bytes.begin() + end);
  }
  return f;
}

// A run with its adventures folder and build directory in a scratch folder and
// an open database, for running one compiler directly. Call finish() to write
// the database and read it back.
struct TestBuild {
  TempDir dir;
  RunState run;
  TestBuild() {
    run.options.forwardSlashes = true;
    run.adventuresPath = dir.root.generic_string();
    run.buildDirectory = dir.root.generic_string();
    run.haveBuildDirectory = true;
    run.openDatabase = createPDB("Test.TEST", dir.path("test"), 0x54414456, 0x546C6D32, 0x0100);
  }
  Database& db() { return *run.openDatabase; }
  PdbFile finish() {
    ::testing::internal::CaptureStdout();
    finishPDB(*run.openDatabase);
    ::testing::internal::GetCapturedStdout();
    run.openDatabase.reset();
    return readPdb(dir.path("test.pdb"));
  }
};

// The lines kiln adds after a fault's message: where it is.
inline std::string at(const std::string& path, int line) { return "  at " + path + ":" + std::to_string(line) + "\n"; }
inline std::string at(const std::string& path) { return "  at " + path + "\n"; }

// The messages with the folder taken out of every "  at " line, for tests
// whose files lie in a scratch folder of their own: "  at heroes.txt:2".
inline std::string fileNamesOnly(const std::string& err) {
  std::string out;
  size_t pos = 0;
  while (pos < err.size()) {
    size_t end = err.find('\n', pos);
    end = end == std::string::npos ? err.size() : end + 1;
    std::string line = err.substr(pos, end - pos);
    size_t slash = line.find_last_of("/\\");
    if (line.rfind("  at ", 0) == 0 && slash != std::string::npos) line = "  at " + line.substr(slash + 1);
    out += line;
    pos = end;
  }
  return out;
}

}  // namespace kiln::testing
