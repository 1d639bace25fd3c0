// The sample adventure in examples/ builds whole and cleanly: the README's main job.
#include <filesystem>
#include <string>

#include "tests/adventure.h"

namespace {

using kit::testing::Bytes;
using kit::testing::pdbRecords;
using kit::testing::readBytes;
using kit::testing::readText;
using kit::testing::Result;

TEST(SampleAdventure, BuildsEveryDatabaseWithoutAWarning) {
  kit::testing::Adventure a;
  std::filesystem::copy(kit::testing::sourcePath("examples/Quest"), a.quest,
                        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
  Result r = a.kiln({"-fs", "-hist", "-text", a.path("pdbs.cfg")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "Talmoric ][ Resource Compiler. V0.99.1\n");
  EXPECT_NE(r.out.find("Done.\n"), std::string::npos);

  struct {
    const char* file;
    std::vector<std::string> codes;
  } databases[] = {
      {"QuestData.pdb",
       {"AU", "RW", "RT", "RE", "TG", "TX", "OB", "HE", "SP", "PA", "P0", "P1", "P2", "P3", "P4", "FN", "CL", "AC",
        "MO", "MT"}},
      {"QuestTiles.pdb", {"AU", "T8", "T8", "T8", "T8", "T8", "T8"}},
      {"QuestWalls.pdb", {"AU", "B8", "B8", "B8", "B8", "B8", "B8", "WA", "WA", "WA"}},
      {"QuestMaps.pdb", {"AU", "MP", "MP", "MP"}},
  };
  for (auto& db : databases) {
    std::vector<Bytes> records = pdbRecords(a.path(db.file));
    ASSERT_EQ(records.size(), db.codes.size()) << db.file;
    for (size_t i = 0; i < records.size(); ++i)
      EXPECT_EQ(kit::testing::recordCode(records[i]), db.codes[i]) << db.file << " record " << i;
  }
  EXPECT_EQ(readBytes(a.adv + "/wallattr.bin").size(), 3u * 69);
  EXPECT_EQ(readText(a.path("src/Talmoric2/src/textpdb.h")).rfind("#define TXT_INTRO 0\n", 0), 0u);
  std::string histogram = readText(a.s.path("histogram.txt"));
  EXPECT_EQ(std::count(histogram.begin(), histogram.end(), '\n'), 2 + 256) << histogram.substr(0, 200);
}

}  // namespace
