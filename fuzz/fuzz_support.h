#pragma once
// What every libFuzzer harness shares: a per-process scratch adventure, quiet
// output, and one compiler run on one input with a fresh RunState.
//
// A harness is run for millions of inputs in one process, so each input gets
// its own RunState and database; kit::Exit is an orderly outcome, anything
// else (a crash, a sanitizer report, a leak, a left-over .tmp file) is a
// finding.

#include <dirent.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/exit.h"
#include "kiln/driver/run_state.h"
#include "kiln/pdb/pdb.h"

namespace kiln::fuzz {

namespace fs = std::filesystem;

// The scratch adventure: an adventures folder with the build directory
// "Quest" in it, holding the sample adventure and the fixture files that list
// seeds name, so that list entries find real files, and the folder of the
// text header.
struct Scratch {
  std::string root;   // adventures folder
  std::string build;  // build directory
  std::set<ino_t> fixtures;  // everything below root that stays, by inode number
  FILE* report = nullptr;       // the real standard error, for findings

  Scratch() {
    report = stderr;
    // Compiler messages go nowhere; libFuzzer and the sanitizers keep
    // writing to file descriptor 2 (libFuzzer took its FILE* before this).
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    stderr = std::fopen("/dev/null", "w");

    std::string tmpl = (fs::temp_directory_path() / "kiln-fuzz-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
      std::fprintf(report, "kiln-fuzz: no scratch folder in %s\n", tmpl.c_str());
      std::abort();
    }
    root = tmpl;
    build = root + "/Quest";
    const std::string source = KIT_SOURCE_DIR;
    fs::copy(source + "/examples/Quest", build, fs::copy_options::recursive);
    fs::create_directories(build + "/src/Talmoric2/src");
    for (const char* dir : {"/fuzz/corpus/bitmap", "/fuzz/corpus/wall_file", "/fuzz/corpus/map_file"}) {
      std::error_code ec;
      for (const auto& entry : fs::directory_iterator(source + dir, ec))
        fs::copy_file(entry.path(), build + "/" + entry.path().filename().string(),
                      fs::copy_options::overwrite_existing);
    }
    collect(root, true, [&](const std::string&, ino_t inode, bool) {
      fixtures.insert(inode);
      return false;
    });
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }

  // Calls found(path, inode, isFolder) for every entry of dir (and below,
  // when deep). Plain readdir: no string comparisons that libFuzzer would
  // take for hints about its input.
  template <class Found>
  static void collect(const std::string& dir, bool deep, Found&& found) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] == '.' && (!e->d_name[1] || (e->d_name[1] == '.' && !e->d_name[2]))) continue;
      std::string path = dir + "/" + e->d_name;
      bool folder = e->d_type == DT_DIR;
      if (!found(path, e->d_ino, folder) && deep && folder) collect(path, deep, found);
    }
    closedir(d);
  }

  // Removes what a run wrote (databases, side files, the text header) so
  // that the next input starts from the same folder, and stops on a
  // left-over temporary file: a failed build must leave none. A compiler
  // writes only into the adventures folder, the build directory and the
  // header's folder; a configuration can name any folder below the
  // adventures folder as its build directory, so the driver sweeps all.
  void sweep(bool everywhere = false) {
    std::vector<std::string> written;
    auto look = [&](const std::string& path, ino_t inode, bool) {
      if (fixtures.count(inode)) return false;  // a fixture (a folder is looked into)
      size_t n = path.size();
      if (n > 4 && path[n - 4] == '.' && path[n - 3] == 't' && path[n - 2] == 'm' && path[n - 1] == 'p') {
        std::fprintf(report, "kiln-fuzz: temporary file left behind: %s\n", path.c_str());
        std::abort();
      }
      written.push_back(path);
      return true;
    };
    if (everywhere) {
      collect(root, true, look);
    } else {
      for (const std::string& dir : {root, build, build + "/src/Talmoric2/src"}) collect(dir, false, look);
    }
    std::error_code ec;
    for (const std::string& p : written) fs::remove_all(p, ec);
  }
};

inline Scratch& scratch() {
  static Scratch s;
  return s;
}

}  // namespace kiln::fuzz

// Sets up the scratch folder (and quiets the output) before the first input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kiln::fuzz::scratch();
  return 0;
}

namespace kiln::fuzz {

// Writes the input into the build directory under name; returns its path.
inline std::string writeInput(const std::string& name, const uint8_t* data, size_t size) {
  std::string path = scratch().build + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
    std::fprintf(scratch().report, "kiln-fuzz: cannot write %s\n", path.c_str());
    std::abort();
  }
  return path;
}

// A run as the driver leaves it after "!NAME:Quest": forward slashes, the
// scratch adventure, no database yet.
inline void prepareRun(RunState& run) {
  run.options.forwardSlashes = true;
  run.adventuresPath = scratch().root;
  run.buildDirectory = scratch().build;
  run.haveBuildDirectory = true;
  run.options.writeTextHeader = true;
}

// A palette as a PA line leaves it (the colour cube, then grays), so that
// 8-bit bitmap lines have one to match against.
inline void prepareGraphics(RunState& run) {
  Palette& p = run.graphics.activePalette;
  int slot = 0;
  for (int b = 5; b >= 0; --b)
    for (int r = 5; r >= 0; --r)
      for (int g = 5; g >= 0; --g) p[size_t(slot++)] = {0, uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51)};
  for (; slot < 256; ++slot) {
    uint8_t v = uint8_t((slot - 216) * 6);
    p[size_t(slot)] = {0, v, v, v};
  }
  run.graphics.havePalette = true;
}

// Runs work(run) on a fresh run with an open database, then writes the
// database; an orderly exit is a normal outcome. Afterwards the scratch
// folder is swept (and checked for temporary files).
template <class Work>
void runOnce(Work&& work) {
  {
    RunState run;
    prepareRun(run);
    try {
      run.openDatabase = createPDB("Fuzz.FUZZ", scratch().build + "/fuzz", 0x54414456, 0x546C6D32, 0x0100);
      work(run);
      finishPDB(*run.openDatabase);
    } catch (const kit::Exit&) {
    }
  }
  scratch().sweep();
}

// A finding of a property check: print it where libFuzzer's output goes and
// stop, so libFuzzer keeps the input.
[[noreturn]] inline void propertyFailed(const char* what) {
  std::fprintf(scratch().report, "kiln-fuzz: %s\n", what);
  std::fflush(scratch().report);
  std::abort();
}

}  // namespace kiln::fuzz
