#pragma once
// Helpers shared by kiln's unit tests: a scratch folder, file I/O, running a
// compiler with its output captured, and reading back a finished database.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/exit.h"
#include "kiln/driver/run_state.h"
#include "kiln/pdb/pdb.h"

#ifdef _WIN32
// The tests set environment variables the POSIX way; the Windows C runtime
// has _putenv_s, which also removes a variable that is set to "".
inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && std::getenv(name)) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}
inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }
#endif

namespace kiln::testing {

using Bytes = std::vector<uint8_t>;

// Timing bounds hold for an optimised build; sanitizers slow everything down.
#ifdef KIT_SANITIZE
constexpr double kSlowdown = 20;
#else
constexpr double kSlowdown = 1;
#endif

// A fresh folder under the system's temporary folder, removed afterwards.
// create_directory fails on an existing folder, so a name is never shared
// with another test or another process. Its paths are written with "/" on
// every system, as a build with -fs composes them, so that tests can compare
// messages with the paths they expect.
struct TempDir {
  std::filesystem::path root;
  TempDir() {
    namespace fs = std::filesystem;
    static std::atomic<unsigned> serial{0};
    std::random_device entropy;
    fs::path base = fs::temp_directory_path();
    for (int attempt = 0;; ++attempt) {
      char name[48];
      std::snprintf(name, sizeof name, "kiln-test-%08x-%u", unsigned(entropy()), serial++);
      std::error_code ec;
      if (fs::create_directory(base / name, ec)) {
        root = (base / name).generic_string();
        return;
      }
      if (attempt == 100) throw std::runtime_error("cannot create a folder in " + base.string());
    }
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  // The name is appended as it stands: a "\" in it stays what it is.
  std::string path(const std::string& name) const { return root.generic_string() + "/" + name; }
  // Writes a file below the folder (creating subfolders) and returns its path.
  std::string write(const std::string& name, const std::string& text) const {
    return write(name, Bytes(text.begin(), text.end()));
  }
  std::string write(const std::string& name, const Bytes& bytes) const {
    auto p = root / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path(name);
  }
};

inline Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A file that the kit writes in text mode (palette listing, histogram), read
// the same way: Windows line ends come back as "\n".
inline std::string readTextFile(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

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

}  // namespace kiln::testing
