// A build that fails part-way leaves every output either finished or as it
// was: the databases finished before the fault are complete, the database being
// built and the side files keep their previous copies, and no temporary file
// is left anywhere.
#include <filesystem>
#include <string>

#include "tests/program.h"

namespace {

using kit::testing::Bytes;
using kit::testing::readBytes;
using kit::testing::readText;
using kit::testing::Result;
using kit::testing::Scratch;

TEST(KilnFailure, ACompilerFailingAfterItsRecordsLeavesNoHalfWrittenOutput) {
  Scratch s;
  std::string adv = s.path("adv"), quest = adv + "/Quest";
  std::filesystem::create_directories(adv);
  std::filesystem::copy(kit::testing::sourcePath("examples/Quest"), quest, std::filesystem::copy_options::recursive);
  std::filesystem::create_directories(quest + "/src/Talmoric2/src");
  // The walls compiler adds the records of walls 0 and 1, then meets a wall
  // file with one view too few.
  s.write("adv/Quest/walls/broken.txt", "\"Broken\"\n1 1 1 1 1 2 0 0 D 20 4 0 0\n"
                                        "0\n0\n0\n0\n0\n0\n0\n0\n0\n");
  s.write("adv/Quest/more.txt", "0 walls\\stone.txt\n1 walls\\door.txt\n2 walls\\broken.txt\n");
  for (const char* previous : {"Quest/QuestData.pdb", "Quest/QuestWalls.pdb", "wallattr.bin",
                               "Quest/src/Talmoric2/src/textpdb.h"})
    s.write(std::string("adv/") + previous, std::string("previous ") + previous);
  s.write("adv/Quest/fail.cfg",
          "!NAME:Quest\n"
          "!TADV:QuestData:Quest.QST1:The Sunken Keep:1.0\n"
          "RW SunkenKeep 1.0\n"
          "TX texts.txt\n"
          "CL classes.txt\n"
          "!WALL:QuestWalls:Quest Walls:Walls of the Sunken Keep:1.0\n"
          "WA more.txt\n");
  Result r = kit::testing::run("kiln", {"-fs", "-text", quest + "/fail.cfg"}, s.root.string(),
                               {{"AdventuresPath", adv}, {"TMIIDEV", ""}});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.substr(r.err.find("ERROR")), "ERROR: wall has 9 views, should have 10\n  at " + quest + "/walls/broken.txt\n");

  // Finished before the fault: a complete database of AU, RW, TX and CL, and the header.
  Bytes data = readBytes(quest + "/QuestData.pdb");
  ASSERT_GE(data.size(), 78u);
  EXPECT_EQ(std::string(data.begin(), data.begin() + 10), "Quest.QST1");
  EXPECT_EQ(data[76] << 8 | data[77], 4);
  EXPECT_EQ(readText(quest + "/src/Talmoric2/src/textpdb.h").find("previous"), std::string::npos);
  // Being built at the fault: as it was.
  EXPECT_EQ(readText(quest + "/QuestWalls.pdb"), "previous Quest/QuestWalls.pdb");
  EXPECT_EQ(readText(adv + "/wallattr.bin"), "previous wallattr.bin");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(s.root))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

}  // namespace
