#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/console_choice.h"
#include "common/settings.h"

namespace kit {
namespace {

namespace fs = std::filesystem;

// Makes standard input read the given text (not a terminal, so no prompt).
void feedStdin(const std::string& text) {
  // One file a process: ctest runs the tests side by side.
  static const std::string path =
      (fs::temp_directory_path() / ("kit-choose-stdin-" + std::to_string(getpid()))).string();
  std::ofstream(path, std::ios::binary) << text;
  ASSERT_NE(std::freopen(path.c_str(), "rb", stdin), nullptr);
  fs::remove(path);  // stdin keeps it open; nothing is left behind
}

struct Choice {
  int rc;
  std::string path;
};

Choice choose(const std::string& input, std::string* folder) {
  feedStdin(input);
  Choice c{0, "unchanged"};
  c.rc = chooseOpenFile("cfg", folder, "Choose an adventure cfg file",
                        "Cfg Files (*.cfg)^*.cfg^All Files (*.*)^*.*^", c.path);
  return c;
}

TEST(ChooseOpenFile, RelativeNameIsTakenInTheStartingFolder) {
  std::string folder = "/home/ann/adventures";
  Choice c = choose("Quest/pdbs.cfg\nnext line\n", &folder);
  EXPECT_EQ(c.rc, 1);
  EXPECT_EQ(c.path, "/home/ann/adventures/Quest/pdbs.cfg");
  EXPECT_EQ(folder, "/home/ann/adventures/Quest");
}

TEST(ChooseOpenFile, RelativeNameWithoutFolderUsesTheCurrentDirectory) {
  std::string cwd = fs::current_path().string();
  std::string folder;
  Choice c = choose("../x/./pdbs.txt\r\n", &folder);
  EXPECT_EQ(c.rc, 1);
  std::string expected = (fs::path(cwd).parent_path() / "x" / "pdbs.txt").string();
  EXPECT_EQ(c.path, expected);
  EXPECT_EQ(folder, fs::path(expected).parent_path().string());
  c = choose("pdbs", nullptr);  // no folder at all, no line end
  EXPECT_EQ(c.path, (fs::path(cwd) / "pdbs.cfg").string());
}

TEST(ChooseOpenFile, AbsoluteNameAndDefaultExtension) {
  std::string folder = "/elsewhere";
  Choice c = choose("/srv/adv/Quest/pdbs\n", &folder);
  EXPECT_EQ(c.rc, 1);
  EXPECT_EQ(c.path, "/srv/adv/Quest/pdbs.cfg");
  EXPECT_EQ(folder, "/srv/adv/Quest");
  c = choose("/srv/v1.2/.cfg\n", &folder);  // a dot in the folder or a leading dot is no extension
  EXPECT_EQ(c.path, "/srv/v1.2/.cfg.cfg");
  c = choose("/pdbs.cfg\n", &folder);
  EXPECT_EQ(c.path, "/pdbs.cfg");
  EXPECT_EQ(folder, "/");
}

TEST(ChooseOpenFile, EmptyLineOrEndOfInputChoosesNothing) {
  std::string folder = "/home/ann";
  Choice c = choose("\nQuest/pdbs.cfg\n", &folder);
  EXPECT_EQ(c.rc, 0);
  EXPECT_EQ(c.path, "");
  EXPECT_EQ(folder, "/home/ann");
  c = choose("", &folder);
  EXPECT_EQ(c.rc, 0);
  EXPECT_EQ(c.path, "");
  EXPECT_EQ(folder, "/home/ann");
}

TEST(ChooseOpenFile, LongNamesHaveNoLimit) {
  std::string folder = "/" + std::string(300, 'f');
  std::string name = std::string(300, 'n') + ".cfg";
  Choice c = choose(name + "\n", &folder);
  EXPECT_EQ(c.path, folder + "/" + name);
}

}  // namespace
}  // namespace kit
