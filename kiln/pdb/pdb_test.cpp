#include "kiln/pdb/pdb.h"

#include <cstdlib>
#include <filesystem>
#include <cstring>

#include "kiln/pdb/bytes.h"
#include "kiln/test_support.h"

namespace kiln {
namespace {

using testing::Bytes;
using testing::TempDir;
using testing::be16;
using testing::be32;

const uint32_t kTADV = 0x54414456, kTlm2 = 0x546C6D32;

struct EpochGuard {
  EpochGuard(const char* value) { setenv("SOURCE_DATE_EPOCH", value, 1); }
  ~EpochGuard() { unsetenv("SOURCE_DATE_EPOCH"); }
};

Bytes finishAndRead(Database& db, const TempDir& dir, const std::string& name) {
  auto o = testing::capture([&] { finishPDB(db); });
  EXPECT_FALSE(o.exited);
  return testing::readFile(dir.path(name));
}

TEST(PdbWriter, HeaderOfADatabaseWithOnlyItsFirstRecord) {
  TempDir dir;
  EpochGuard epoch("0");
  auto db = createPDB("Quest.ABCD", dir.path("quest"), kTADV, kTlm2, 0x0100);
  const char au[] = "Hello";
  addPDBEntry(*db, "AU", reinterpret_cast<const uint8_t*>(au), 6);
  auto o = testing::capture([&] { finishPDB(*db); });
  EXPECT_EQ(o.out, "Wrote 1 records for 8 data bytes.\n");
  Bytes b = testing::readFile(dir.path("quest.pdb"));

  ASSERT_EQ(b.size(), 96u);  // 78 + 8 + 2 + 8
  EXPECT_EQ(std::string(b.begin(), b.begin() + 10), "Quest.ABCD");
  for (int i = 10; i < 32; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(be16(b, 32), 0x0808);
  EXPECT_EQ(b[34], 0x01);  // version 1.0
  EXPECT_EQ(b[35], 0x00);
  EXPECT_EQ(be32(b, 36), 2082844800u);  // 1970-01-01 counted from 1904
  EXPECT_EQ(be32(b, 40), 2082844800u);
  for (int i = 44; i < 60; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(be32(b, 60), kTADV);
  EXPECT_EQ(be32(b, 64), kTlm2);
  EXPECT_EQ(be32(b, 68), 0u);
  EXPECT_EQ(be32(b, 72), 0u);
  EXPECT_EQ(be16(b, 76), 1);
  EXPECT_EQ(be32(b, 78), 88u);
  EXPECT_EQ(be32(b, 82), 0u);
  EXPECT_EQ(be16(b, 86), 0);  // the gap
  EXPECT_EQ(Bytes(b.begin() + 88, b.end()), (Bytes{'A', 'U', 'H', 'e', 'l', 'l', 'o', 0}));
}

TEST(PdbWriter, RecordsArePaddedToFourBytesAndListedInOrder) {
  TempDir dir;
  auto db = createPDB("Pads", dir.path("pads"), kTADV, kTlm2, 0);
  const uint8_t data[] = {0x11, 0x22, 0x33};
  addPDBEntry(*db, "X1", data, 1);  // 2 + 1 -> 4
  addPDBEntry(*db, "X2", data, 2);  // 2 + 2 -> 4, no padding
  addPDBEntry(*db, "X3", data, 3);  // 2 + 3 -> 8
  addPDBEntry(*db, nullptr, data, 3);  // no code: 3 -> 4
  Bytes b = finishAndRead(*db, dir, "pads.pdb");

  ASSERT_EQ(b.size(), 78u + 4 * 8 + 2 + 20);
  EXPECT_EQ(be16(b, 76), 4);
  uint32_t base = 78 + 32 + 2;
  EXPECT_EQ(be32(b, 78), base);
  EXPECT_EQ(be32(b, 86), base + 4);
  EXPECT_EQ(be32(b, 94), base + 8);
  EXPECT_EQ(be32(b, 102), base + 16);
  Bytes data_(b.begin() + base, b.end());
  EXPECT_EQ(data_, (Bytes{'X', '1', 0x11, 0, 'X', '2', 0x11, 0x22, 'X', '3', 0x11, 0x22, 0x33, 0, 0, 0, 0x11,
                          0x22, 0x33, 0}));
}

TEST(PdbWriter, NameFieldOf32And31Characters) {
  TempDir dir;
  std::string n32(32, 'N'), n31(31, 'M');
  auto a = createPDB(n32, dir.path("a"), kTADV, kTlm2, 0);
  auto b = createPDB(n31, dir.path("b"), kTADV, kTlm2, 0);
  Bytes ba = finishAndRead(*a, dir, "a.pdb");
  Bytes bb = finishAndRead(*b, dir, "b.pdb");
  EXPECT_EQ(std::string(ba.begin(), ba.begin() + 32), n32);
  EXPECT_EQ(be16(ba, 32), 0x0808);  // no terminating zero: the attributes follow at once
  EXPECT_EQ(std::string(bb.begin(), bb.begin() + 31), n31);
  EXPECT_EQ(bb[31], 0);
}

TEST(PdbWriter, StringRecordHoldsMajorMinorAndText) {
  TempDir dir;
  auto db = createPDB("Strings", dir.path("s"), kTADV, kTlm2, 0);
  addStringRecord("Hello", "RW", 0, 1, *db);
  addStringRecord("", "RE", 5, 2, *db);
  Bytes b = finishAndRead(*db, dir, "s.pdb");
  size_t base = 78 + 16 + 2;
  EXPECT_EQ(Bytes(b.begin() + base, b.end()),
            (Bytes{'R', 'W', 1, 0, 'H', 'e', 'l', 'l', 'o', 0, 0, 0, 'R', 'E', 2, 5}));
}

TEST(PdbWriter, DatesComeFromSourceDateEpochSoBuildsRepeat) {
  TempDir dir;
  Bytes first, second;
  {
    EpochGuard epoch("1700000000");
    auto db = createPDB("Same", dir.path("one"), kTADV, kTlm2, 0);
    first = finishAndRead(*db, dir, "one.pdb");
    auto db2 = createPDB("Same", dir.path("two"), kTADV, kTlm2, 0);
    second = finishAndRead(*db2, dir, "two.pdb");
  }
  EXPECT_EQ(first, second);
  EXPECT_EQ(be32(first, 36), 1700000000u + 2082844800u);
  {
    // Not a number: the clock is used instead.
    EpochGuard epoch("yesterday");
    auto db = createPDB("Now", dir.path("now"), kTADV, kTlm2, 0);
    Bytes now = finishAndRead(*db, dir, "now.pdb");
    EXPECT_GT(be32(now, 36), 2082844800u + 1700000000u);
  }
}

TEST(PdbWriter, HoldsUpTo65535RecordsAndRefusesTheNext) {
  TempDir dir;
  auto db = createPDB("Many", dir.path("many"), kTADV, kTlm2, 0);
  const uint8_t one = 7;
  for (int i = 0; i < 65535; ++i) addPDBEntry(*db, "MM", &one, 1);
  auto o = testing::capture([&] { addPDBEntry(*db, "MM", &one, 1); });
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.pause);
  EXPECT_NE(o.err.find("ERROR: "), std::string::npos);
  Bytes b = finishAndRead(*db, dir, "many.pdb");
  EXPECT_EQ(be16(b, 76), 65535);
  EXPECT_EQ(b.size(), 78u + 8 * 65535 + 2 + 4 * 65535);
  EXPECT_EQ(be32(b, 78 + 8 * 65534), 78u + 8 * 65535 + 2 + 4 * 65534);
}

TEST(PdbWriter, UnfinishedDatabaseLeavesThePreviousFileAndNoTemporary) {
  TempDir dir;
  dir.write("keep.pdb", "previous");
  std::string tmpPath;
  {
    auto db = createPDB("Keep", dir.path("keep"), kTADV, kTlm2, 0);
    tmpPath = db->out.tmpPath;
    EXPECT_TRUE(testing::fileExists(tmpPath));
    EXPECT_EQ(std::filesystem::path(tmpPath).parent_path(), dir.root);
    const uint8_t one = 1;
    addPDBEntry(*db, "AU", &one, 1);
  }  // dropped without finishPDB, as when a compiler fails
  EXPECT_FALSE(testing::fileExists(tmpPath));
  Bytes previous = testing::readFile(dir.path("keep.pdb"));
  EXPECT_EQ(std::string(previous.begin(), previous.end()), "previous");
}

TEST(PdbWriter, FileThatCannotBeCreatedEndsWithoutPause) {
  TempDir dir;
  std::string path = dir.path("missing/folder/db");
  auto o = testing::capture([&] { createPDB("Nope", path, kTADV, kTlm2, 0); });
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_FALSE(o.pause);
  EXPECT_EQ(o.err, "ERROR: failed to open " + path + ".pdb\n: No such file or directory\n");

  // A long path is named whole.
  std::string deep = dir.path(std::string(3000, 'd') + "/" + std::string(3000, 'e') + "/db");
  o = testing::capture([&] { createPDB("Nope", deep, kTADV, kTlm2, 0); });
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err.rfind("ERROR: failed to open " + deep + ".pdb\n: ", 0), 0u) << o.err.size();
}

TEST(ByteOrder, HelpersStoreMostSignificantFirst) {
  uint8_t b[4];
  setBE32(b, 0x01020304);
  EXPECT_EQ(Bytes(b, b + 4), (Bytes{1, 2, 3, 4}));
  setBE16(b, 0xABCDEF);  // low 16 bits only
  EXPECT_EQ(b[0], 0xCD);
  EXPECT_EQ(b[1], 0xEF);

  uint32_t l;
  const uint8_t raw[4] = {1, 2, 3, 4};
  std::memcpy(&l, raw, 4);
  swapLong(&l);
  std::memcpy(b, &l, 4);
  EXPECT_EQ(Bytes(b, b + 4), (Bytes{4, 3, 2, 1}));

  uint16_t w[2];
  const uint8_t rw[4] = {1, 2, 3, 4};
  std::memcpy(w, rw, 4);
  swapWords(w, 2);
  std::memcpy(b, w, 4);
  EXPECT_EQ(Bytes(b, b + 4), (Bytes{2, 1, 4, 3}));
}

}  // namespace
}  // namespace kiln
