#include "kiln/graphics/read_ahead.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include "kiln/test_support.h"

namespace kiln {
namespace {

using namespace testing;

// Files f0 ... f(n-1), each of its own length (f0 empty) and content.
std::vector<std::string> writeFiles(TestBuild& b, int n, size_t unit = 37) {
  std::vector<std::string> paths;
  for (int i = 0; i < n; ++i) paths.push_back(b.dir.write("f" + std::to_string(i), Bytes(size_t(i) * unit, uint8_t(i))));
  return paths;
}

// More files, or more bytes, than the window holds, taken in order: each
// one's own bytes.
TEST(ImageReadAhead, TakesEveryFileInListOrder) {
  const size_t megabyte = 1 << 20;
  for (const auto& [count, unit] : {std::pair{int(ImageReadAhead::kMaxFiles) + 5, size_t(1)},
                                    std::pair{16, megabyte / 4}}) {  // 30 MB in all
    SCOPED_TRACE(count);
    TestBuild b;
    std::vector<std::string> paths = writeFiles(b, count, unit);
    ImageReadAhead ahead(paths);
    for (size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(ahead.take(paths[i]), Bytes(i * unit, uint8_t(i))) << i;
  }
}

// A path out of step with the list is read there and then, and so is the rest.
TEST(ImageReadAhead, AnOutOfStepPathIsReadDirectly) {
  TestBuild b;
  std::vector<std::string> paths = writeFiles(b, 6);
  ImageReadAhead ahead(paths);
  EXPECT_EQ(ahead.take(paths[0]), Bytes());
  EXPECT_EQ(ahead.take(paths[4]), Bytes(4 * 37, 4));
  EXPECT_EQ(ahead.take(paths[2]), Bytes(2 * 37, 2));
  EXPECT_EQ(ahead.take(paths[5]), Bytes(5 * 37, 5));
}

// A file that cannot be read is reported when it is taken, with the message
// readImageFile gives; the files before it come first, and leaving early
// stops the reader, whatever follows (a FIFO without a writer included).
TEST(ImageReadAhead, FaultsAreReportedWhenTaken) {
  TestBuild b;
  std::vector<std::string> paths = writeFiles(b, 40);
  std::filesystem::create_directory(b.dir.path("folder"));
  struct Case {
    std::string name, reason;
  };
  std::vector<Case> cases = {{"missing", "No such file or directory"}, {"folder", "Is a directory"}};
#ifndef _WIN32
  ASSERT_EQ(::mkfifo(b.dir.path("fifo").c_str(), 0600), 0);
  cases.push_back({"fifo", "Illegal seek"});
  paths.push_back(b.dir.path("fifo"));
#endif
  for (const Case& c : cases) {
    std::vector<std::string> list = paths;
    const std::string bad = b.dir.path(c.name);
    list.insert(list.begin() + 20, bad);
    Outcome direct = capture([&] { readImageFile(bad); });
    Outcome o = capture([&] {
      ImageReadAhead ahead(list);
      for (size_t i = 0; i < list.size(); ++i) {
        if (ahead.take(list[i]) != Bytes(i * 37, uint8_t(i))) std::printf("%zu differs\n", i);
      }
    });
    EXPECT_EQ(o.out, "") << c.name;
    EXPECT_EQ(o.err, "ERROR: Can not open " + bad + ": " + c.reason + "\n") << c.name;
    EXPECT_EQ(o.err, direct.err);
    EXPECT_TRUE(o.exited);
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.pause);
  }
  // Stopped before anything was taken.
  { ImageReadAhead unused(paths); }
}

// Files beyond the reader's limit are left for the compiling thread.
TEST(ImageReadAhead, LargeFilesAreReadWhenTaken) {
  TestBuild b;
  std::string path = b.dir.write("big", Bytes(10, 7));
  ImageFileRead read = loadImageFile(path, 9);
  EXPECT_EQ(read.fault, ImageFileRead::Fault::tooLarge);
  EXPECT_TRUE(read.bytes.empty());
  EXPECT_EQ(takeImageFile(std::move(read), path), Bytes(10, 7));
  EXPECT_EQ(loadImageFile(path, 10).bytes, Bytes(10, 7));
}

}  // namespace
}  // namespace kiln
