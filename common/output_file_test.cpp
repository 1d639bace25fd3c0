// The temporary-file code on every platform (also run under Wine).
#include "common/output_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/test_files.h"

namespace kit {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::string read(const std::string& path) {
  testing::Bytes b = testing::readFile(path);
  return std::string(b.begin(), b.end());
}

// The names in a folder, sorted.
std::vector<std::string> names(const TempDir& dir) {
  std::vector<std::string> out;
  for (const auto& entry : fs::directory_iterator(dir.root)) out.push_back(entry.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

bool write(AtomicFile& f, const std::string& text) { return f.write(text.data(), text.size()); }

TEST(AtomicFile, WritesBesideTheFinalFileAndRenamesItIntoPlace) {
  TempDir dir;
  dir.write("out.pdb", "old");
  AtomicFile f;
  ASSERT_TRUE(f.open(dir.path("out.pdb")));
  ASSERT_TRUE(write(f, "new bytes"));
  // The temporary file lies in the same folder under a name of its own.
  std::vector<std::string> during = names(dir);
  ASSERT_EQ(during.size(), 2u);
  EXPECT_EQ(during[0], "out.pdb");
  EXPECT_EQ(during[1].rfind("out.pdb.", 0), 0u);
  EXPECT_EQ(during[1].substr(during[1].size() - 4), ".tmp");
  EXPECT_EQ(read(dir.path("out.pdb")), "old");
  ASSERT_TRUE(f.commit());
  EXPECT_TRUE(f.committed);
  EXPECT_EQ(read(dir.path("out.pdb")), "new bytes");
  EXPECT_EQ(names(dir), std::vector<std::string>{"out.pdb"});
}

TEST(AtomicFile, ANewFileIsCreatedWhenCommitted) {
  TempDir dir;
  EXPECT_EQ(writeWholeFile(dir.path("fresh.bin"), std::vector<uint8_t>{1, 2, 3}), OutputResult::written);
  EXPECT_EQ(read(dir.path("fresh.bin")), std::string("\x01\x02\x03"));
  EXPECT_EQ(writeWholeFile(dir.path("empty.bin"), nullptr, 0), OutputResult::written);
  EXPECT_EQ(fs::file_size(dir.path("empty.bin")), 0u);
  EXPECT_EQ(names(dir), (std::vector<std::string>{"empty.bin", "fresh.bin"}));
}

TEST(AtomicFile, DroppedOrDiscardedLeavesThePreviousFileAndNoTemporary) {
  TempDir dir;
  dir.write("keep.txt", "previous");
  {
    AtomicFile f;
    ASSERT_TRUE(f.open(dir.path("keep.txt")));
    write(f, "half");
  }
  AtomicFile g;
  ASSERT_TRUE(g.open(dir.path("keep.txt")));
  g.discard();
  EXPECT_FALSE(g.commit());
  EXPECT_EQ(read(dir.path("keep.txt")), "previous");
  EXPECT_EQ(names(dir), std::vector<std::string>{"keep.txt"});
}

TEST(AtomicFile, AFolderInTheWayOrAMissingFolderIsACreateFailure) {
  TempDir dir;
  fs::create_directories(dir.path("wallattr.bin/inside"));
  AtomicFile f;
  errno = 0;
  EXPECT_FALSE(f.open(dir.path("wallattr.bin")));
  EXPECT_EQ(errno, EISDIR);
  EXPECT_EQ(writeWholeFile(dir.path("wallattr.bin"), nullptr, 0), OutputResult::createFailed);
  EXPECT_EQ(errno, EISDIR);
  errno = 0;
  EXPECT_FALSE(f.open(dir.path("missing/out.bin")));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(names(dir), std::vector<std::string>{"wallattr.bin"});
}

TEST(AtomicFile, TwoWritersOfOneFileBothSucceedAndTheLastRenameWins) {
  TempDir dir;
  AtomicFile a, b;
  ASSERT_TRUE(a.open(dir.path("same.pdb")));
  ASSERT_TRUE(b.open(dir.path("same.pdb")));
  EXPECT_NE(a.tmpPath, b.tmpPath);
  write(a, "first");
  write(b, "second");
  ASSERT_TRUE(a.commit());
  EXPECT_EQ(read(dir.path("same.pdb")), "first");
  ASSERT_TRUE(b.commit());
  EXPECT_EQ(read(dir.path("same.pdb")), "second");
  EXPECT_EQ(names(dir), std::vector<std::string>{"same.pdb"});
}

TEST(AtomicFile, AnInterruptRemovesEveryTemporaryFile) {
  TempDir dir;
  dir.write("a.pdb", "old a");
  AtomicFile a, b;
  ASSERT_TRUE(a.open(dir.path("a.pdb")));
  ASSERT_TRUE(b.open(dir.path("b.txt"), "w"));
  write(a, "new a");
  removeTemporaryFiles();  // what the interrupt handlers do first
  a.discard();
  b.discard();
  EXPECT_EQ(names(dir), std::vector<std::string>{"a.pdb"});
  EXPECT_EQ(read(dir.path("a.pdb")), "old a");
}

TEST(AtomicFile, AReadOnlyFileIsReplacedAndStaysReadOnly) {
  TempDir dir;
  std::string path = dir.write("locked.pdb", "old");
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  ASSERT_EQ(writeWholeFile(path, std::vector<uint8_t>{'n', 'e', 'w'}), OutputResult::written);
  EXPECT_EQ(read(path), "new");
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::owner_write, fs::perms::none);
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);  // so the folder can go
}

TEST(AtomicFile, TextModeWritesThePlatformsLineEnds) {
  TempDir dir;
  AtomicFile f;
  ASSERT_TRUE(f.open(dir.path("report.txt"), "w"));
  std::fputs("one\ntwo\n", f.file);
  ASSERT_TRUE(f.commit());
  EXPECT_EQ(testing::readTextFile(dir.path("report.txt")), "one\ntwo\n");
}

// A batch holds more files than the interrupt list once had room for and
// more than a process may keep open; nothing reaches a final name before the
// commit, and whatever is not committed leaves no trace, in a folder made
// just before as in one that was there.
TEST(OutputBatch, RenamesEveryFileTogetherAndCleansUpOnEveryOtherWayOut) {
  constexpr int kFiles = 2500;
  enum Ending { committed, destroyed, interrupted };
  for (Ending ending : {committed, destroyed, interrupted}) {
    SCOPED_TRACE(int(ending));
    TempDir dir;
    fs::create_directories(dir.path("a"));
    fs::create_directories(dir.path("b"));
    dir.write("a/0.txt", "old");
    {
      OutputBatch batch;
      batch.folderIsNew(dir.path("b"));  // its files are created without a look for old ones
      for (int i = 0; i < kFiles; ++i) {
        std::string text = std::to_string(i);
        ASSERT_EQ(batch.add(dir.path((i % 2 ? "b/" : "a/") + text + ".txt"), text.data(), text.size()),
                  OutputResult::written);
      }
      EXPECT_EQ(batch.pending(), size_t(kFiles));
      EXPECT_EQ(read(dir.path("a/0.txt")), "old");
      EXPECT_FALSE(fs::exists(dir.path("b/1.txt")));
      if (ending == committed) {
        ASSERT_TRUE(batch.commit());
        EXPECT_EQ(batch.pending(), 0u);
      }
      if (ending == interrupted) removeTemporaryFiles();
    }
    size_t count = 0;
    for (const char* folder : {"a", "b"})
      for (const auto& entry : fs::directory_iterator(dir.path(folder))) {
        ++count;
        EXPECT_EQ(entry.path().extension(), ".txt") << entry.path();
      }
    EXPECT_EQ(count, ending == committed ? size_t(kFiles) : 1u);
    EXPECT_EQ(read(dir.path("a/0.txt")), ending == committed ? "0" : "old");
    if (ending == committed) {
      EXPECT_EQ(read(dir.path("b/2499.txt")), "2499");
    }
  }
}

// A page written part by part while pictures are added: once closed it is
// one of the batch's outputs, in a folder staged (where folders are) or not;
// a file dropped half-written or one that cannot be made leaves nothing.
TEST(OutputBatch, AFileWrittenInPartsIsAddedWhenClosed) {
  for (bool stage : {false, true}) {
    SCOPED_TRACE(stage);
    TempDir dir;
    const std::string out = dir.path("out");
    OutputBatch batch;
    if (!(stage && batch.stageFolder(out))) fs::create_directories(out);
    std::unique_ptr<OutputBatch::Stream> page = batch.open(out + "/index.html");
    std::unique_ptr<OutputBatch::Stream> dropped = batch.open(out + "/dropped.html");
    batch.append(*page, {{"<head>", 6}});
    ASSERT_EQ(batch.add(out + "/a.png", "png", 3), OutputResult::written);
    batch.append(*dropped, {{"half", 4}});
    batch.append(*page, {{"<p>", 3}, {"", 0}, {"one", 3}});
    batch.append(*page, {{"</p>", 4}});
    dropped.reset();
    EXPECT_FALSE(fs::exists(out + "/index.html"));
    EXPECT_EQ(batch.close(std::move(page)), 0);
    // Under a file, not a folder: it cannot be made, and says why at the end.
    ASSERT_EQ(batch.add(out + "/x", "x", 1), OutputResult::written);
    std::unique_ptr<OutputBatch::Stream> lost = batch.open(out + "/x/y.html");
    batch.append(*lost, {{"never", 5}});
    EXPECT_NE(batch.close(std::move(lost)), 0);
    ASSERT_TRUE(batch.commit()) << std::strerror(errno);
    EXPECT_EQ(read(out + "/index.html"), "<head><p>one</p>");
    EXPECT_EQ(read(out + "/a.png"), "png");
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(out)) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"a.png", "index.html", "x"}));
  }
}

TEST(OutputBatch, AFailedRenameKeepsTheFilesBeforeItAndRemovesTheRest) {
  TempDir dir;
  OutputBatch batch;
  for (const char* name : {"first.txt", "blocked.txt", "last.txt"})
    ASSERT_EQ(batch.add(dir.path(name), name, 3), OutputResult::written);
  fs::create_directories(dir.path("blocked.txt/inside"));  // a folder that is not empty cannot be replaced
  EXPECT_FALSE(batch.commit());
  EXPECT_NE(errno, 0);
  EXPECT_EQ(batch.failedPath(), dir.path("blocked.txt"));
  EXPECT_EQ(names(dir), (std::vector<std::string>{"blocked.txt", "first.txt"}));
  EXPECT_EQ(read(dir.path("first.txt")), "fir");
}

}  // namespace
}  // namespace kit
