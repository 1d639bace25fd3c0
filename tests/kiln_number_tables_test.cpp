// The class, monster, monster-table and AC-table lines of a configuration, run
// through kiln as an author runs it, on the sample adventure's tables.
#include <filesystem>
#include <string>

#include "tests/adventure.h"

namespace {

using kit::testing::Bytes;
using kit::testing::Result;

// The sample's number tables in a scratch adventure.
struct Adventure : kit::testing::Adventure {
  Adventure() { copySample({"classes.txt", "monsters.txt", "montable.txt", "actable.txt"}); }
};

using kit::testing::be16;
using kit::testing::be32;
using kit::testing::pdbRecords;
using kit::testing::recordCode;

const char kHead[] = "!NAME:Quest\n!TADV:QuestData:Quest.QST1:The Sunken Keep:1.0\n";

TEST(KilnNumberTables, SampleTablesCompileIntoTheirRecords) {
  Adventure a;
  Result r = a.build(std::string(kHead) +
                    "CL classes.txt\nAC actable.txt\nMO monsters.txt\nMT montable.txt\nAC actable.txt\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "Talmoric ][ Resource Compiler. V0.99.1\n");
  EXPECT_NE(r.out.find("  - Datatype <MO> from <" + a.quest + "/monsters.txt>\n"), std::string::npos);

  std::vector<Bytes> rec = pdbRecords(a.path("QuestData.pdb"));
  ASSERT_EQ(rec.size(), 6u);
  EXPECT_EQ(recordCode(rec[1]), "CL");
  EXPECT_EQ(rec[1].size(), 804u);
  // level01's first and last class, level25's first.
  EXPECT_EQ(rec[1][2 + 0], 10);
  EXPECT_EQ(rec[1][2 + 31], 6);
  EXPECT_EQ(rec[1][2 + 24 * 32], 70);

  EXPECT_EQ(recordCode(rec[2]), "AC");
  EXPECT_EQ(rec[2].size(), 2u + 2 + 13 * 32);  // 420, a multiple of 4
  EXPECT_EQ(rec[2][2], 13);
  EXPECT_EQ(rec[2][3], 0);
  EXPECT_EQ(rec[2][4 + 2], 2);  // ac10, class2

  EXPECT_EQ(recordCode(rec[3]), "MO");
  EXPECT_EQ(rec[3][2], 11);
  EXPECT_EQ(rec[3].size(), 2u + 2 + 11 * 56);
  const Bytes& mo = rec[3];
  EXPECT_EQ(std::string(mo.begin() + 4, mo.begin() + 14), std::string("Giant Rat\0", 10));
  size_t keeper = 4 + 10 * 56;
  EXPECT_EQ(std::string(mo.begin() + keeper, mo.begin() + keeper + 19), std::string("Keeper of the Deep\0", 19));
  EXPECT_EQ(be16(mo, keeper + 30), 1500u);               // c12
  EXPECT_EQ(be32(mo, keeper + 36), 0x8000039Cu);         // flags
  EXPECT_EQ(Bytes(mo.begin() + keeper + 42, mo.begin() + keeper + 47), (Bytes{16, 20, 22, 0, 3}));
  EXPECT_EQ(be16(mo, keeper + 52), 2500u);

  EXPECT_EQ(recordCode(rec[4]), "MT");
  EXPECT_EQ(rec[4].size(), 2u + 2 + 10 * 4);
  EXPECT_EQ(Bytes(rec[4].begin() + 2, rec[4].begin() + 8), (Bytes{10, 0, 0, 0, 0, 40}));

  // The second AC line repeats the first's rows ahead of its own.
  EXPECT_EQ(recordCode(rec[5]), "AC");
  EXPECT_EQ(rec[5][2], 26);
  EXPECT_EQ(Bytes(rec[5].begin() + 4, rec[5].begin() + 4 + 13 * 32), Bytes(rec[2].begin() + 4, rec[2].end()));
  EXPECT_EQ(Bytes(rec[5].begin() + 4 + 13 * 32, rec[5].begin() + 4 + 26 * 32), Bytes(rec[2].begin() + 4, rec[2].end()));
}

TEST(KilnNumberTables, BadMonsterListLeavesNoDatabase) {
  Adventure a;
  a.write("badmonsters.txt", "m00 Rat 1 2 3 4 5 - - - - 1 2 3 4 5 6 2 1 2 3 4 5 6 7 0001\n");
  Result r = a.build(std::string(kHead) + "MT montable.txt\n!TADV:More:Quest.QST2:More:1.0\nCL classes.txt\n"
                                         "MO badmonsters.txt\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: Monster min_group greater than max_group value\n"), std::string::npos);
  EXPECT_EQ(r.err.find("Press ENTER"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(a.quest + "/QuestData.pdb"));
  EXPECT_FALSE(std::filesystem::exists(a.quest + "/More.pdb"));
  EXPECT_FALSE(std::filesystem::exists(a.quest + "/More.pdb.tmp"));
}

TEST(KilnNumberTables, OpenFailuresAndTheirStatus) {
  Adventure a;
  Result cl = a.build(std::string(kHead) + "CL nothere.txt\n");
  EXPECT_EQ(cl.status, 1);
  EXPECT_NE(cl.err.find("ERROR: Could not open classes.txt file: No such file or directory\n"), std::string::npos);
  Result ac = a.build(std::string(kHead) + "AC nothere.txt\n");
  EXPECT_EQ(ac.status, 1);
  EXPECT_NE(ac.err.find("ERROR: Could not open " + a.quest + "/nothere.txt file: No such file or directory\n"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(a.quest + "/QuestData.pdb"));
}

}  // namespace
