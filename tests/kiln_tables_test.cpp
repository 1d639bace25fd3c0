// The game tables of the sample adventure, compiled by kiln as an author runs it.
#include <filesystem>
#include <string>

#include "tests/adventure.h"

namespace {

using kit::testing::Bytes;
using kit::testing::readBytes;
using kit::testing::readText;
using kit::testing::Result;
using kit::testing::pdbRecords;

const char kConfig[] =
    "!NAME:Quest\n"
    "!TADV:QuestData:Quest.QST1:The Sunken Keep:1.0\n"
    "TG gtexts.txt\n"
    "TX texts.txt\n"
    "OB objects.txt\n"
    "HE heroes.txt\n"
    "SP spells.txt\n";

// An adventures folder holding a copy of the sample's tables.
struct Adventure : kit::testing::Adventure {
  Adventure() {
    std::filesystem::create_directories(quest + "/src/Talmoric2/src");
    copySample({"gtexts.txt", "texts.txt", "objects.txt", "heroes.txt", "spells.txt"});
    write("pdbs.cfg", kConfig);
  }
  Result kiln() const { return kit::testing::Adventure::kiln({"-fs", "-text", path("pdbs.cfg")}); }
  std::string pdb() const { return path("QuestData.pdb"); }
  std::string header() const { return path("src/Talmoric2/src/textpdb.h"); }
};

TEST(KilnTables, SampleTablesCompile) {
  Adventure a;
  Result r = a.kiln();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "Talmoric ][ Resource Compiler. V0.99.1\n");
  EXPECT_NE(r.out.find("  - Datatype <SP> from <" + a.quest + "/spells.txt>\n"), std::string::npos);

  auto recs = pdbRecords(a.pdb());
  ASSERT_EQ(recs.size(), 6u);
  const char* codes[] = {"AU", "TG", "TX", "OB", "HE", "SP"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(std::string(recs[i].begin(), recs[i].begin() + 2), codes[i]);
  EXPECT_EQ(recs[1][3], 6);   // engine texts
  EXPECT_EQ(recs[2][3], 18);  // adventure texts
  EXPECT_EQ(recs[3][3], 20);  // objects
  EXPECT_EQ(recs[4].size(), 2 + 9 * 108u + 2);
  EXPECT_EQ(recs[4][2 + 8 * 108 + 36], 33);  // the closing endoflist entry
  EXPECT_EQ(recs[5][2], 16);  // spells

  std::string header = readText(a.header());
  EXPECT_EQ(header.rfind("#define TXT_INTRO 0\n#define TXT_GATE_LOCKED 1\n", 0), 0u) << header;
  EXPECT_NE(header.find("#define TXT_EMPTY 17\n"), std::string::npos);
}

TEST(KilnTables, FaultInATableLeavesTheEarlierOutputsWhole) {
  Adventure a;
  // Without the TG line, whose empty header would replace the TX one.
  std::string config = kConfig;
  config.erase(config.find("TG gtexts.txt\n"), 14);
  a.write("pdbs.cfg", config);
  ASSERT_EQ(a.kiln().status, 0);
  Bytes pdb = readBytes(a.pdb());
  std::string header = readText(a.header());

  // A broken text table: the header and the database stay as they were.
  std::string texts = readText(a.quest + "/texts.txt");
  a.write("texts.txt", texts + "20 TXT_SKIPPED \"gap\"\n");
  Result r = a.kiln();
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ERROR: Text Num 18 out of order; currNum = 19\n"), std::string::npos) << r.err;
  EXPECT_EQ(readText(a.header()), header);
  EXPECT_NE(header, "");
  EXPECT_EQ(readBytes(a.pdb()), pdb);

  // A broken spell list, after the header was rewritten whole.
  a.write("texts.txt", texts);
  a.write("spells.txt", "S0 Zap attack 1 0 0 0 0 0 zaps combat - \n");
  r = a.kiln();
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("0 Invalid verb type <zaps>\n"), std::string::npos) << r.err;
  EXPECT_EQ(readBytes(a.pdb()), pdb);
  EXPECT_EQ(readText(a.header()), header);
  for (auto& entry : std::filesystem::recursive_directory_iterator(a.quest))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

}  // namespace
