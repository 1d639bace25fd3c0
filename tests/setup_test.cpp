// First steps of a new author: setting the adventures folder, the options on
// the sample, and the warnings about input that would otherwise be ignored.
#include <filesystem>
#include <string>

#include "tests/adventure.h"

namespace {

using kit::testing::Adventure;
using kit::testing::Bytes;
using kit::testing::readBytes;
using kit::testing::readText;
using kit::testing::Result;
using kit::testing::run;
using kit::testing::Scratch;

const char kBanner[] = "Talmoric ][ Resource Compiler. V0.99.1\n";

void copySampleInto(const Adventure& a) {
  std::filesystem::copy(kit::testing::sourcePath("examples/Quest"), a.quest,
                        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
}

TEST(SampleAdventure, WallAndTileOptionsBuildTheSameBytesAsAFullBuild) {
  Adventure full;
  copySampleInto(full);
  Result r = full.kiln({"-fs", full.path("pdbs.cfg")});
  ASSERT_EQ(r.status, 0) << r.err;
  Bytes walls = readBytes(full.path("QuestWalls.pdb"));
  Bytes tiles = readBytes(full.path("QuestTiles.pdb"));
  ASSERT_GT(walls.size(), 78u);
  ASSERT_GT(tiles.size(), 78u);

  // The palette line sits in the adventure database, which these skip.
  for (auto [option, built, skipped] : {std::tuple{"-wall", "QuestWalls.pdb", "QuestTiles.pdb"},
                                        std::tuple{"-tile", "QuestTiles.pdb", "QuestWalls.pdb"}}) {
    Adventure one;
    copySampleInto(one);
    r = one.kiln({"-fs", option, one.path("pdbs.cfg")});
    ASSERT_EQ(r.status, 0) << option << r.err;
    EXPECT_EQ(r.err, kBanner) << option;
    EXPECT_EQ(readBytes(one.path(built)), readBytes(full.path(built))) << option;
    EXPECT_FALSE(std::filesystem::exists(one.path(skipped))) << option;
    EXPECT_FALSE(std::filesystem::exists(one.path("QuestData.pdb"))) << option;
    // The palette of a skipped database is not listed as a line of its own.
    EXPECT_EQ(r.out.find("<PA>"), std::string::npos) << option;
  }
}

TEST(KilnWarnings, UnknownOptionIsNamedAndTheBuildGoesOn) {
  Adventure a;
  a.write("pdbs.cfg", "!NAME:Quest\n!TADV:q:Quest.ABCD:a:1\nRW Hi 1.0\n");
  Result r = a.kiln({"-fs", "-wal", "--text", a.path("pdbs.cfg")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, std::string(kBanner) + "WARNING: unknown option -wal ignored\n" +
                       "WARNING: unknown option --text ignored\n");
  EXPECT_TRUE(std::filesystem::exists(a.path("q.pdb")));
}

TEST(KilnWarnings, FileBesideACopiedConfigurationIsNotTheOneRead) {
  Adventure a;
  const std::string config = "!NAME:Quest\n!TADV:q:Quest.ABCD:a:1\nTX texts.txt\nRW Hi 1.0\n";
  a.write("pdbs.cfg", config);
  a.write("texts.txt", "1 HELLO \"Hello\"\n");
  // Built where it lies: not a word.
  Result r = a.kiln({"-fs", a.path("pdbs.cfg")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, kBanner);
  Bytes original = readBytes(a.path("q.pdb"));

  // A copy elsewhere still builds AdventuresPath + NAME, and says so.
  std::string copy = a.s.path("copy");
  a.s.write("copy/pdbs.cfg", config);
  a.s.write("copy/texts.txt", "1 HELLO \"Changed\"\n");
  r = a.kiln({"-fs", copy + "/pdbs.cfg"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, std::string(kBanner) + "WARNING: texts.txt is read from the build directory " + a.quest +
                       ", not from " + copy + " beside the configuration\n  at " + copy + "/pdbs.cfg:3\n");
  EXPECT_EQ(readBytes(a.path("q.pdb")), original);
}

TEST(KilnWarnings, WithoutFsTheBuildDirectoryIsNoCopy) {
  // Forgetting -fs on POSIX joins the build directory with "\": that is the
  // folder of the configuration all the same, and the fault is the file kiln
  // cannot open, not a copied configuration.
#ifdef _WIN32
  GTEST_SKIP() << "\\ is a separator on Windows";
#endif
  Adventure a;
  a.write("pdbs.cfg", "!NAME:Quest\n!TADV:q:Quest.ABCD:a:1\nTX texts.txt\nRW Hi 1.0\n");
  a.write("texts.txt", "1 HELLO \"Hello\"\n");
  Result r = a.kiln({a.path("pdbs.cfg")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string(kBanner) + "ERROR: Could not open text file: No such file or directory\n  at " + a.adv +
                       "\\Quest\\texts.txt\n");
}

// The settings file below the scratch folder's HOME.
const char kSettings[] = ".config/Brindlewood/DEZARED.conf";

TEST(AdvpathInit, CreatesTheSettingFromTheCommandLine) {
  Scratch s;
  Result r = run("advpath", {"-init", "adventures/"}, s.root.string());
  std::string folder = s.path("adventures");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "AdventuresPath set to " + folder + "\n");
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(readText(s.path(kSettings)), "[Config]\nAdventuresPath=" + folder + "\nChartsmithLastLoadPath=" + folder +
                                              "\nKilnLastLoadPath=" + folder + "\n");

  // kiln then finds it without the environment variable.
  s.write("adventures/Quest/pdbs.cfg", "!NAME:Quest\n!TADV:q:Quest.ABCD:a:1\n");
  r = run("kiln", {"-fs", folder + "/Quest/pdbs.cfg"}, s.root.string(), {{"TMIIDEV", ""}});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(folder + "/Quest/q.pdb"));

  // And plain advpath now changes it.
  std::filesystem::create_directories(s.root / "other");
  r = run("advpath", {}, s.root.string(), {}, "other\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(readText(s.path(kSettings)).find("AdventuresPath=" + s.path("other") + "\n"), std::string::npos);
}

TEST(AdvpathInit, AsksForTheFolderWhenNoneIsGiven) {
  Scratch s;
  std::filesystem::create_directories(s.root / "adv");
  Result r = run("advpath", {"-init"}, s.root.string(), {}, "adv\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "AdventuresPath set to " + s.path("adv") + "\n");

  Scratch none;
  r = run("advpath", {"-init"}, none.root.string(), {}, "\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "No directory selected\n");
  EXPECT_FALSE(std::filesystem::exists(none.path(kSettings)));

  // A file where the folder should be is refused.
  none.write("afile", "x");
  r = run("advpath", {"-init", "afile"}, none.root.string());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("ERROR: could not make the folder afile: ", 0), 0u) << r.err;
  EXPECT_FALSE(std::filesystem::exists(none.path(kSettings)));
}

}  // namespace
