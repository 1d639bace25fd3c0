#pragma once
// Helpers shared by the kit's tests: a scratch folder and whole-file I/O.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef _WIN32
// The tests set environment variables the POSIX way; the Windows C runtime
// has _putenv_s, which also removes a variable that is set to "".
inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && std::getenv(name)) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}
inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }
#endif

namespace kit::testing {

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

}  // namespace kit::testing
