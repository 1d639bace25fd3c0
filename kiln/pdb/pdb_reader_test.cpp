#include "kiln/pdb/pdb_reader.h"

#include <cstring>
#include <functional>

#include "kiln/pdb/bytes.h"
#include "kiln/test_support.h"

namespace kiln {
namespace {

using testing::Bytes;
using testing::TempDir;

// A database as the writer lays it out: the header, the list, the gap, then
// the given stored records.
Bytes database(const std::vector<Bytes>& records, const char* name = "Quest.ABCD") {
  Bytes b(kHeaderSize, 0);
  std::memcpy(b.data(), name, std::strlen(name));
  setBE16(b.data() + 32, 0x0808);
  setBE16(b.data() + 34, 0x0102);
  setBE32(b.data() + 36, 3000000000u);
  setBE32(b.data() + 40, 3000000001u);
  setBE32(b.data() + 60, 0x54414456);  // TADV
  setBE32(b.data() + 64, 0x546C6D32);  // Tlm2
  setBE16(b.data() + 76, uint32_t(records.size()));
  uint32_t at = uint32_t(kHeaderSize + 8 * records.size() + 2);
  for (const Bytes& r : records) {
    appendBE32(b, at);
    appendBE32(b, 0);
    at += uint32_t(r.size());
  }
  b.push_back(0);
  b.push_back(0);
  for (const Bytes& r : records) b.insert(b.end(), r.begin(), r.end());
  return b;
}

TEST(PdbReader, ReadsBackWhatTheWriterWrote) {
  TempDir dir;
  setenv("SOURCE_DATE_EPOCH", "1000", 1);
  auto db = createPDB("Quest.ABCD", dir.path("quest"), 0x54414456, 0x546C6D32, 0x010A);
  unsetenv("SOURCE_DATE_EPOCH");
  const uint8_t au[] = {'H', 'i', 0};
  const uint8_t tx[] = {0, 0, 1, 2, 3};
  addPDBEntry(*db, "AU", au, sizeof au);
  addPDBEntry(*db, "TX", tx, sizeof tx);
  testing::capture([&] { finishPDB(*db); });

  PdbFile f;
  std::string error;
  ASSERT_TRUE(readPdb(dir.path("quest.pdb"), f, error)) << error;
  EXPECT_EQ(f.header.name, "Quest.ABCD");
  EXPECT_EQ(f.header.attributes, 0x0808);
  EXPECT_EQ(f.header.version, 0x010A);
  EXPECT_EQ(f.header.created, 1000u + 2082844800u);
  EXPECT_EQ(f.header.modified, f.header.created);
  EXPECT_EQ(f.header.type, 0x54414456u);
  EXPECT_EQ(f.header.creator, 0x546C6D32u);
  ASSERT_EQ(f.records.size(), 2u);
  EXPECT_EQ(f.records[0].offset, 96u);  // 78 + 2 * 8 + 2
  EXPECT_EQ(f.records[0].size, 8u);
  EXPECT_EQ(f.records[0].code, "AU");
  EXPECT_EQ(Bytes(f.records[0].data, f.records[0].data + f.records[0].length), (Bytes{'H', 'i', 0, 0, 0, 0}));
  EXPECT_EQ(f.records[1].index, 1);
  EXPECT_EQ(f.records[1].code, "TX");
  EXPECT_EQ(f.records[1].length, 6u);  // five bytes and one of padding
}

TEST(PdbReader, ANameOfThirtyTwoCharactersHasNoTerminator) {
  PdbFile f;
  std::string error;
  ASSERT_TRUE(parsePdb(database({}, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"), f, error)) << error;
  EXPECT_EQ(f.header.name, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
  EXPECT_TRUE(f.records.empty());
}

struct Damage {
  const char* what;
  std::function<void(Bytes&)> apply;
  const char* error;  // part of the reason
  size_t soundRecords;
};

TEST(PdbReader, DamagedFilesAreRefusedWithAReasonAndKeepTheSoundRecords) {
  const std::vector<Bytes> records = {{'A', 'U', 'x', 0}, {'T', 'X', 0, 0, 0, 0, 0, 0}, {'M', 'T', 0, 0}};
  const Damage cases[] = {
      {"empty file", [](Bytes& b) { b.clear(); }, "shorter than a database header", 0},
      {"header cut short", [](Bytes& b) { b.resize(77); }, "shorter than a database header", 0},
      {"list past the end", [](Bytes& b) { setBE16(b.data() + 76, 5000); }, "runs past the end", 0},
      {"offset past the end", [](Bytes& b) { setBE32(b.data() + 78 + 16, uint32_t(b.size() + 1)); },
       "outside the record data", 2},
      {"offset inside the list", [](Bytes& b) { setBE32(b.data() + 78, 80); }, "outside the record data", 0},
      {"offsets out of order", [](Bytes& b) { setBE32(b.data() + 78 + 8, 102); }, "comes before", 1},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes b = database(records);
    c.apply(b);
    PdbFile f;
    std::string error;
    EXPECT_FALSE(parsePdb(b, f, error));
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    EXPECT_EQ(f.records.size(), c.soundRecords);
    for (const PdbRecord& r : f.records) EXPECT_LE(r.offset + r.size, f.bytes.size());
  }
}

TEST(PdbReader, ShortRecordsHaveNoCodeAndNothingIsReadPastTheFile) {
  // Two records of 0 and 1 bytes at the very end of the file.
  Bytes b = database({Bytes{}, Bytes{'A'}});
  PdbFile f;
  std::string error;
  ASSERT_TRUE(parsePdb(b, f, error)) << error;
  ASSERT_EQ(f.records.size(), 2u);
  EXPECT_EQ(f.records[0].size, 0u);
  EXPECT_EQ(f.records[0].code, "");
  EXPECT_EQ(f.records[1].size, 1u);
  EXPECT_EQ(f.records[1].code, "");
  EXPECT_EQ(f.records[1].length, 0u);
}

TEST(PdbReader, AFileThatCannotBeReadSaysWhy) {
  TempDir dir;
  PdbFile f;
  std::string error;
  EXPECT_FALSE(readPdb(dir.path("missing.pdb"), f, error));
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

}  // namespace
}  // namespace kiln
