// What only POSIX systems have: symbolic links, permission bits, signals and
// the file size limit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/output_file.h"
#include "common/test_files.h"

namespace kit {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::string read(const std::string& path) {
  testing::Bytes b = testing::readFile(path);
  return std::string(b.begin(), b.end());
}

OutputResult put(const std::string& path, const std::string& text) {
  return writeWholeFile(path, text.data(), text.size());
}

unsigned modeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0;
}

size_t temporaryFiles(const TempDir& dir) {
  size_t n = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir.root)) n += entry.path().extension() == ".tmp";
  return n;
}

TEST(AtomicFilePosix, AChainOfLinksIsFollowedAndEveryLinkStays) {
  TempDir dir;
  fs::create_directories(dir.path("emulator/data"));
  dir.write("emulator/data/Quest.pdb", "old");
  fs::create_directories(dir.path("build"));
  // build/Quest.pdb -> ../emulator/link.pdb (relative) -> .../data/Quest.pdb (absolute)
  fs::create_symlink(dir.path("emulator/data/Quest.pdb"), dir.path("emulator/link.pdb"));
  fs::create_symlink("../emulator/link.pdb", dir.path("build/Quest.pdb"));
  AtomicFile f;
  ASSERT_TRUE(f.open(dir.path("build/Quest.pdb")));
  EXPECT_EQ(f.target, dir.path("emulator/data/Quest.pdb"));
  EXPECT_EQ(fs::path(f.tmpPath).parent_path(), fs::path(dir.path("emulator/data")));
  f.write("new", 3);
  ASSERT_TRUE(f.commit());
  EXPECT_TRUE(fs::is_symlink(dir.path("build/Quest.pdb")));
  EXPECT_TRUE(fs::is_symlink(dir.path("emulator/link.pdb")));
  EXPECT_EQ(read(dir.path("emulator/data/Quest.pdb")), "new");
  EXPECT_EQ(temporaryFiles(dir), 0u);

  // A link to a file not yet there creates it; a loop of links is refused.
  fs::create_symlink("made.pdb", dir.path("build/dangling.pdb"));
  ASSERT_EQ(put(dir.path("build/dangling.pdb"), "made"), OutputResult::written);
  EXPECT_TRUE(fs::is_symlink(dir.path("build/dangling.pdb")));
  EXPECT_EQ(read(dir.path("build/made.pdb")), "made");
  fs::create_symlink("loop2", dir.path("loop1"));
  fs::create_symlink("loop1", dir.path("loop2"));
  EXPECT_EQ(put(dir.path("loop1"), "x"), OutputResult::createFailed);
  EXPECT_EQ(errno, ELOOP);
}

TEST(AtomicFilePosix, KeepsTheBitsOfAReplacedFileAndGivesANewOneTheUsualMode) {
  TempDir dir;
  mode_t saved = umask(027);
  EXPECT_EQ(put(dir.path("new.pdb"), "x"), OutputResult::written);
  EXPECT_EQ(modeOf(dir.path("new.pdb")), 0640u);  // 0666 less the umask, not mkstemp's 0600
  umask(saved);
  for (unsigned mode : {0444u, 0600u, 0755u}) {
    std::string path = dir.write("kept.pdb", "old");
    chmod(path.c_str(), mode);
    ASSERT_EQ(put(path, "new"), OutputResult::written);
    EXPECT_EQ(read(path), "new");
    EXPECT_EQ(modeOf(path), mode);
  }
}

TEST(AtomicFilePosix, ANonFileInTheWayIsACreateFailure) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.path("pipe").c_str(), 0644), 0);
  EXPECT_EQ(put(dir.path("pipe"), "x"), OutputResult::createFailed);
  fs::create_directory(dir.path("folder"));
  fs::create_symlink("folder", dir.path("link"));
  EXPECT_EQ(put(dir.path("link"), "x"), OutputResult::createFailed);
  EXPECT_EQ(errno, EISDIR);
  EXPECT_EQ(temporaryFiles(dir), 0u);
}

TEST(AtomicFilePosix, AFullDiskIsAWriteFailureThatLeavesThePreviousFile) {
  TempDir dir;
  std::string path = dir.write("big.pdb", "previous");
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string text(5000, 'x');
  OutputResult result = put(path, text);
  int error = errno;
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(result, OutputResult::writeFailed);
  EXPECT_EQ(error, EFBIG);
  EXPECT_EQ(read(path), "previous");
  EXPECT_EQ(temporaryFiles(dir), 0u);
}

TEST(AtomicFilePosix, ASignalRemovesTheTemporaryFilesAndEndsByThatSignal) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    TempDir dir;
    std::string path = dir.write("out.pdb", "previous");
    pid_t pid = fork();
    if (pid == 0) {
      AtomicFile a, b;
      if (!a.open(path) || !b.open(dir.path("other.txt"), "w")) _exit(2);
      a.write("half", 4);
      raise(sig);
      _exit(3);  // not reached: the signal ends the process
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status)) << sig;
    if (WIFSIGNALED(status)) {
      EXPECT_EQ(WTERMSIG(status), sig);
    }
    EXPECT_EQ(read(path), "previous");
    EXPECT_EQ(temporaryFiles(dir), 0u) << sig;
    EXPECT_FALSE(fs::exists(dir.path("other.txt")));
  }
}

#ifdef __linux__
TEST(OutputBatchPosix, ANewFolderIsFilledUnderAnotherNameAndPutInPlaceWhole) {
  enum Ending { committed, destroyed, interrupted, madeMeanwhile };
  for (Ending ending : {committed, destroyed, interrupted, madeMeanwhile}) {
    SCOPED_TRACE(int(ending));
    TempDir dir;
    const std::string final = dir.path("Bench");
    {
      OutputBatch batch;
      ASSERT_TRUE(batch.stageFolder(final + "/"));
      // Two threads at once, into folders made as their first file comes.
      auto addSome = [&](int from) {
        for (int i = from; i < 200; i += 2) {
          const std::string name = "list/" + std::to_string(i / 50) + "/" + std::to_string(i) + ".bmp";
          const std::string text = std::to_string(i);
          EXPECT_EQ(batch.add(final + "/" + name, text.data(), text.size()), OutputResult::written);
        }
      };
      std::thread other(addSome, 1);
      addSome(0);
      other.join();
      ASSERT_EQ(batch.add(final + "/pdbs.cfg", "new", 3), OutputResult::written);
      // Nothing at the final path until the end, and one folder beside it.
      EXPECT_FALSE(fs::exists(final));
      std::vector<fs::path> beside;
      for (const auto& entry : fs::directory_iterator(dir.root)) beside.push_back(entry.path().filename());
      ASSERT_EQ(beside.size(), 1u);
      EXPECT_EQ(beside[0].string().rfind("Bench.", 0), 0u);
      EXPECT_EQ(beside[0].extension(), ".tmp");
      if (ending == committed || ending == madeMeanwhile) {
        if (ending == madeMeanwhile) {
          dir.write("Bench/pdbs.cfg", "old");
          dir.write("Bench/keep.txt", "kept");
        }
        ASSERT_TRUE(batch.commit()) << std::strerror(errno);
      }
      if (ending == interrupted) removeTemporaryFiles();
    }
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.root)) left.push_back(entry.path().filename().string());
    if (ending == destroyed || ending == interrupted) {
      EXPECT_TRUE(left.empty());
      continue;
    }
    EXPECT_EQ(left, std::vector<std::string>{"Bench"});
    EXPECT_EQ(read(final + "/pdbs.cfg"), "new");
    EXPECT_EQ(read(final + "/list/3/199.bmp"), "199");
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(final)) files += entry.is_regular_file();
    EXPECT_EQ(files, ending == madeMeanwhile ? 202u : 201u);
    if (ending == madeMeanwhile) {
      EXPECT_EQ(read(final + "/keep.txt"), "kept");
    }
  }
}

TEST(OutputBatchPosix, AFolderThatExistsIsNotStaged) {
  TempDir dir;
  OutputBatch batch;
  fs::create_directories(dir.path("there"));
  EXPECT_FALSE(batch.stageFolder(dir.path("there")));
  EXPECT_FALSE(batch.stageFolder(dir.path("missing/parent")));
  // A path that climbs out of a staged folder is not in it: the folder does
  // not exist yet, so nothing can be written through it.
  OutputBatch staged;
  ASSERT_TRUE(staged.stageFolder(dir.path("new")));
  EXPECT_EQ(staged.add(dir.path("new/../beside.txt"), "b", 1), OutputResult::createFailed);
  ASSERT_TRUE(staged.commit());
  EXPECT_TRUE(fs::is_directory(dir.path("new")));
  EXPECT_FALSE(fs::exists(dir.path("beside.txt")));
}
#endif

TEST(AtomicFilePosix, AVeryLongNameGetsAShorterTemporaryName) {
  TempDir dir;
  std::string path = dir.path(std::string(250, 'n'));
  ASSERT_EQ(put(path, "long"), OutputResult::written) << std::strerror(errno);
  EXPECT_EQ(read(path), "long");
}

}  // namespace
}  // namespace kit
