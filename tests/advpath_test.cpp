// advpath: choosing and storing the adventures folder.

#include <filesystem>
#include <string>

#include "tests/program.h"

namespace kit::testing {
namespace {

const char* const kMissing =
    "Can't find AdventuresPath in registry\nare you sure you installed DEZARED correctly?\n"
    "  set it with: advpath -init FOLDER (or the AdventuresPath environment variable)\n";
const char* const kSettings = ".config/Brindlewood/DEZARED.conf";

// The value of name in the settings text, or "<none>".
std::string setting(const std::string& text, const std::string& name) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (line.rfind(name + "=", 0) == 0) return line.substr(name.size() + 1);
    pos = end + 1;
  }
  return "<none>";
}

TEST(Advpath, StoresTheChosenFolderInAllThreeSettings) {
  Scratch s;
  s.write(kSettings, "; kit\n[Config]\nAdventuresPath=/old/adventures\nKilnLastLoadPath=/old/Quest\n[Other]\nX=1\n");
  std::filesystem::create_directories(s.root / "my adventures" / "sub");
  Result r = run("advpath", {"ignored"}, s.root.string(), {}, "my adventures/sub/..\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  std::string folder = (s.root / "my adventures").string();
  std::string text = readText(s.path(kSettings));
  EXPECT_EQ(text, "; kit\n[Config]\nAdventuresPath=" + folder + "\nKilnLastLoadPath=" + folder +
                      "\nChartsmithLastLoadPath=" + folder + "\n[Other]\nX=1\n");
}

TEST(Advpath, KilnThenBuildsInTheStoredFolder) {
  Scratch s;
  s.write(kSettings, "[Config]\nAdventuresPath=/old/adventures\n");
  std::string folder = s.path("adventures");
  s.write("adventures/Quest/pdbs.cfg",
          "!NAME:Quest\n!TADV:questdata:Quest.ABCD:First adventure:1.2\nRW Hello 1.0\n");
  ASSERT_EQ(run("advpath", {}, s.root.string(), {}, folder + "\n").status, 0);

  // No AdventuresPath in the environment: kiln takes the stored one.
  std::map<std::string, std::string> env = {{"TMIIDEV", ""}};
  Result r = run("kiln", {"-fs", folder + "/Quest/pdbs.cfg"}, s.root.string(), env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\nAdventures Path = " + folder + "\n"), std::string::npos) << r.out;
  EXPECT_TRUE(std::filesystem::exists(folder + "/Quest/questdata.pdb"));

  // Started without arguments, kiln's file choice starts in the folder
  // advpath stored, and remembers the folder of the chosen file.
  r = run("kiln", {}, s.root.string(), env, "Quest/pdbs\n");
  EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "Processing " + folder + "/Quest/pdbs.cfg\n");
  std::string text = readText(s.path(kSettings));
  EXPECT_EQ(setting(text, "KilnLastLoadPath"), folder + "/Quest");
  EXPECT_EQ(setting(text, "AdventuresPath"), folder);
}

TEST(Advpath, NothingChosenLeavesTheSettingsAlone) {
  Scratch s;
  const std::string before =
      "[Config]\nAdventuresPath=/a\nKilnLastLoadPath=/k\nChartsmithLastLoadPath=/c\n";
  s.write(kSettings, before);
  s.write("a file", "x");
  for (std::string input : {"", "\n", "no such folder\n", "a file\n"}) {
    Result r = run("advpath", {}, s.root.string(), {}, input);
    EXPECT_EQ(r.status, 1) << input;
    EXPECT_EQ(r.out, "") << input;  // no pause
    EXPECT_EQ(r.err, "No directory selected\n");
    EXPECT_EQ(readText(s.path(kSettings)), before);
  }
}

TEST(Advpath, MissingSettingIsReportedWithThePause) {
  Scratch s;
  std::filesystem::create_directories(s.root / "adv");
  Result r = run("advpath", {}, s.root.string(), {{"AdventuresPath", s.path("adv")}}, "adv\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kMissing);
  EXPECT_EQ(r.out, "Press ENTER to exit.");
  EXPECT_FALSE(std::filesystem::exists(s.path(kSettings)));  // never creates the first setting

  s.write(kSettings, "[Config]\nKilnLastLoadPath=/k\n");
  r = run("advpath", {}, s.root.string(), {{"TMIIDEV", ""}}, "adv\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kMissing);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(readText(s.path(kSettings)), "[Config]\nKilnLastLoadPath=/k\n");
}

TEST(Advpath, LongPathsWork) {
  Scratch s;
  std::string old = "/" + std::string(400, 'o');
  s.write(kSettings, "[Config]\nAdventuresPath=" + old + "\n");
  std::filesystem::path deep = s.root;
  for (int i = 0; i < 5; i++) deep /= std::string(60, char('a' + i));
  std::filesystem::create_directories(deep);
  ASSERT_GT(deep.string().size(), 255u);
  Result r = run("advpath", {}, s.root.string(), {}, deep.string() + "/\n");
  EXPECT_EQ(r.status, 0);
  std::string text = readText(s.path(kSettings));
  EXPECT_EQ(setting(text, "AdventuresPath"), deep.string());
  EXPECT_EQ(setting(text, "KilnLastLoadPath"), deep.string());
  EXPECT_EQ(setting(text, "ChartsmithLastLoadPath"), deep.string());
}

}  // namespace
}  // namespace kit::testing
