#include "common/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kit {
namespace {

namespace fs = std::filesystem;

// Points the store into a fresh temporary folder for the test's duration.
class Settings : public ::testing::Test {
 protected:
  fs::path root;
  std::string savedXdg, savedEnv;
  bool hadXdg = false, hadEnv = false;

  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "kit-settings-XXXXXX").string();
    root = mkdtemp(tmpl.data());
    if (const char* v = std::getenv("XDG_CONFIG_HOME")) hadXdg = true, savedXdg = v;
    if (const char* v = std::getenv("KitTestSetting")) hadEnv = true, savedEnv = v;
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    unsetenv("KitTestSetting");
  }
  void TearDown() override {
    if (hadXdg) setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
    if (hadEnv) setenv("KitTestSetting", savedEnv.c_str(), 1); else unsetenv("KitTestSetting");
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  std::string file() const { return (root / "config" / "Brindlewood" / "DEZARED.conf").string(); }
  void writeFile(const std::string& text) const {
    fs::create_directories(fs::path(file()).parent_path());
    std::ofstream(file(), std::ios::binary) << text;
  }
  std::string readFile() const {
    std::ifstream in(file(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static int write(const char* name, const std::string& value) {
    return writeSetting(name, value.data(), value.size());
  }
  static std::string read(const char* name, int* rc = nullptr, size_t capacity = 32768) {
    std::string buf(capacity, 'x');
    int r = readSetting(name, buf.data(), capacity);
    if (rc) *rc = r;
    return r == 0 ? std::string(buf.c_str()) : "<" + std::to_string(r) + ">";
  }
};

TEST_F(Settings, FileLivesUnderXdgConfigHomeOrHome) {
  EXPECT_EQ(settingsFilePath(), file());
  std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/ann", 1);
  EXPECT_EQ(settingsFilePath(), "/home/ann/.config/Brindlewood/DEZARED.conf");
  setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(Settings, WriteCreatesFoldersAndFileThenReadsBack) {
  ASSERT_EQ(write("AdventuresPath", "/home/ann/adventures"), 0);
  EXPECT_EQ(readFile(), "[Config]\nAdventuresPath=/home/ann/adventures\n");
  EXPECT_EQ(read("AdventuresPath"), "/home/ann/adventures");
  // Only the length given is stored, not the rest of the text.
  ASSERT_EQ(writeSetting("KilnLastLoadPath", "/a/bXYZ", 4), 0);
  EXPECT_EQ(read("KilnLastLoadPath"), "/a/b");
  EXPECT_FALSE(fs::exists(file() + ".tmp"));
}

TEST_F(Settings, ReplacesInPlaceAndKeepsOtherLines) {
  writeFile("# mine\n[Config]\nAdventuresPath=/old\nKilnLastLoadPath=/k\n[Tools]\nX=1\n");
  chmod(file().c_str(), 0600);
  ASSERT_EQ(write("AdventuresPath", "/new path"), 0);
  ASSERT_EQ(write("ChartsmithLastLoadPath", "/c"), 0);
  EXPECT_EQ(readFile(),
            "# mine\n[Config]\nAdventuresPath=/new path\nKilnLastLoadPath=/k\nChartsmithLastLoadPath=/c\n"
            "[Tools]\nX=1\n");
  struct stat st;
  ASSERT_EQ(stat(file().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(Settings, MissingFileSectionOrValueFails) {
  int rc = 0;
  read("AdventuresPath", &rc);
  EXPECT_NE(rc, 0);  // no file
  writeFile("[Other]\nAdventuresPath=/x\n");
  read("AdventuresPath", &rc);
  EXPECT_NE(rc, 0);  // no section
  writeFile("[Config]\nKilnLastLoadPath=/x\n");
  read("AdventuresPath", &rc);
  EXPECT_NE(rc, 0);  // no value
  fs::remove(file());
  fs::create_directories(file());  // a folder where the file belongs
  read("AdventuresPath", &rc);
  EXPECT_NE(rc, 0);
  EXPECT_NE(write("AdventuresPath", "/x"), 0);
}

TEST_F(Settings, ValueMustFitWithItsZeroByte) {
  ASSERT_EQ(write("AdventuresPath", "/abcd"), 0);
  int rc = 0;
  EXPECT_EQ(read("AdventuresPath", &rc, 6), "/abcd");
  read("AdventuresPath", &rc, 5);
  EXPECT_NE(rc, 0);
  std::string longPath = "/" + std::string(300, 'p');
  ASSERT_EQ(write("AdventuresPath", longPath), 0);
  read("AdventuresPath", &rc, 256);
  EXPECT_NE(rc, 0);
  EXPECT_EQ(read("AdventuresPath"), longPath);
}

TEST_F(Settings, LineEndsInValuesAreRefused) {
  ASSERT_EQ(write("AdventuresPath", "/keep"), 0);
  EXPECT_NE(write("AdventuresPath", "/a\nKilnLastLoadPath=/evil"), 0);
  EXPECT_NE(write("AdventuresPath", "/a\r"), 0);
  EXPECT_NE(write("AdventuresPath", std::string("/a\0b", 4)), 0);
  EXPECT_NE(write("Adventures=Path", "/a"), 0);
  EXPECT_EQ(readFile(), "[Config]\nAdventuresPath=/keep\n");
}

TEST_F(Settings, LookupPrefersTheEnvironment) {
  ASSERT_EQ(write("KitTestSetting", "/stored"), 0);
  char buf[16];
  ASSERT_EQ(lookupSetting("KitTestSetting", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "/stored");
  setenv("KitTestSetting", "/from env", 1);
  ASSERT_EQ(lookupSetting("KitTestSetting", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "/from env");
  setenv("KitTestSetting", "/much too long for it", 1);
  EXPECT_NE(lookupSetting("KitTestSetting", buf, sizeof buf), 0);
  setenv("KitTestSetting", "", 1);
  ASSERT_EQ(lookupSetting("KitTestSetting", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "");
}

}  // namespace
}  // namespace kit
