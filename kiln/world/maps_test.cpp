#include "kiln/world/maps.h"

#include <gtest/gtest.h>

#include "kiln/test_support.h"

namespace kiln {
namespace {

using testing::Bytes;
using testing::at;
using testing::capture;
using testing::TestBuild;

// A map file laid out field by field, little-endian.
struct MapFile {
  int32_t version = 2;
  uint8_t width = 2, height = 3, flags = 0x11, md = 0x22, startx = 1, starty = 2, specCnt = 0, pad = 0x33;
  uint16_t codeLength = 0;
  std::string name = "Cellar";
  Bytes specials, code;
  Bytes trailing;

  Bytes bytes() const {
    Bytes b;
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(uint32_t(version) >> (8 * i)));
    b.insert(b.end(), {width, height, flags, md, startx, starty, specCnt, pad});
    b.push_back(uint8_t(codeLength));
    b.push_back(uint8_t(codeLength >> 8));
    Bytes n(30, 0);
    std::copy(name.begin(), name.end(), n.begin());
    n[29] = 0x7E;  // bytes after the name's zero are kept as they stand
    b.insert(b.end(), n.begin(), n.end());
    b.insert(b.end(), specials.begin(), specials.end());
    b.insert(b.end(), code.begin(), code.end());
    for (int layer = 0; layer < 2; ++layer)
      for (int i = 0; i < width * height; ++i) b.push_back(uint8_t(0x40 * (layer + 1) + i));
    b.insert(b.end(), trailing.begin(), trailing.end());
    return b;
  }
};

struct MapBuild : TestBuild {
  testing::Outcome compile(const std::string& listName, const std::string& listText) {
    dir.write(listName, listText);
    return capture([&] { compileMaps(run.paths(), run.world, dir.path(listName), "MP", db()); });
  }
  testing::Outcome single(const Bytes& map) {
    dir.write("m.map", map);
    return compile("maps.txt", std::to_string(run.world.mapSequence) + " m.map\n");
  }
};

// The 56-byte record header worked out from the layout: fields, the length
// big-endian, the name as read, four zero slots.
Bytes expectedHeader(const MapFile& m) {
  Bytes h = {m.width, m.height, m.flags, m.md, m.startx, m.starty, m.specCnt, m.pad,
             uint8_t(m.codeLength >> 8), uint8_t(m.codeLength)};
  Bytes n(30, 0);
  std::copy(m.name.begin(), m.name.end(), n.begin());
  n[29] = 0x7E;
  h.insert(h.end(), n.begin(), n.end());
  h.resize(56, 0);
  return h;
}

TEST(Maps, MapWithoutSpecials) {
  MapBuild b;
  MapFile m;
  m.codeLength = 0x0102;  // file bytes 02 01; no specials, so no code follows
  m.trailing = {9, 9, 9};
  auto o = b.single(m.bytes());
  ASSERT_FALSE(o.exited) << o.err;
  auto pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 1);
  EXPECT_EQ(pdb.code(0), "MP");
  Bytes expected = expectedHeader(m);
  EXPECT_EQ(expected[8], 0x01);
  EXPECT_EQ(expected[9], 0x02);
  expected.insert(expected.end(), {0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x80, 0x81, 0x82, 0x83, 0x84, 0x85});
  ASSERT_EQ(expected.size(), 68u);
  expected.insert(expected.end(), 2, 0);  // 2 + 68 stored as 72
  EXPECT_EQ(pdb.data(0), expected);
}

TEST(Maps, SpecialsAreSwappedAndCodeFollows) {
  MapBuild b;
  MapFile m;
  m.specCnt = 2;
  m.codeLength = 5;
  m.specials = {0x03, 0x04, 0x10, 0x00, 0xFF, 0x01, 0xAA, 0xBB, 0x01, 0x02, 0x03, 0x04};
  m.code = {'c', 'o', 'd', 'e', '!'};
  ASSERT_FALSE(b.single(m.bytes()).exited);
  auto pdb = b.finish();
  Bytes expected = expectedHeader(m);
  expected.insert(expected.end(), {0x03, 0x04, 0x00, 0x10, 0x01, 0xFF, 0xAA, 0xBB, 0x02, 0x01, 0x04, 0x03});
  expected.insert(expected.end(), {'c', 'o', 'd', 'e', '!'});
  expected.insert(expected.end(), {0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x80, 0x81, 0x82, 0x83, 0x84, 0x85});
  ASSERT_EQ(expected.size(), 56u + 12 + 5 + 12);
  expected.push_back(0);  // 2 + 85 stored as 88
  EXPECT_EQ(pdb.data(0), expected);
}

TEST(Maps, EmptyRowsAndTheLargestSpecialCode) {
  MapBuild b;
  MapFile flat;
  flat.width = 3;
  flat.height = 0;  // no rows: nothing to read
  ASSERT_FALSE(b.single(flat.bytes()).exited);
  MapFile big;
  big.specCnt = 1;
  big.specials = Bytes(6, 1);
  big.codeLength = 32767;
  big.code = Bytes(32767, 0x5A);
  auto o = b.single(big.bytes());
  ASSERT_FALSE(o.exited) << o.err;
  auto pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 2);
  Bytes header = expectedHeader(flat);
  header.insert(header.end(), 2, 0);  // 2 + 56 stored as 60
  EXPECT_EQ(pdb.data(0), header);
  Bytes d = pdb.data(1);
  EXPECT_EQ(d.size(), 56u + 6 + 32767 + 12 + 1);
  EXPECT_EQ(d[8], 0x7F);
  EXPECT_EQ(d[9], 0xFF);
}

TEST(Maps, TruncatedAtEveryFieldBoundary) {
  MapFile m;
  m.specCnt = 2;
  m.codeLength = 5;
  m.specials = Bytes(12, 7);
  m.code = Bytes(5, 8);
  const Bytes whole = m.bytes();
  ASSERT_EQ(whole.size(), 44u + 12 + 5 + 6 + 6);
  struct Field {
    size_t end;
    const char* name;
  };
  const Field fields[] = {{4, "version"},  {5, "width"},  {6, "height"},  {7, "flags"},
                          {8, "md"},       {9, "startx"}, {10, "starty"}, {11, "specCnt"},
                          {12, "pad"},     {14, "special code length"},   {44, "name"},
                          {56, "specials"}, {61, "spec code"}, {67, "data"}, {73, "data"}};
  size_t cut = 0;
  for (const Field& f : fields) {
    for (; cut < f.end; ++cut) {
      MapBuild b;
      auto o = b.single(Bytes(whole.begin(), whole.begin() + cut));
      EXPECT_EQ(o.status, 1) << cut;
      EXPECT_TRUE(o.pause);
      EXPECT_EQ(o.err, "ERROR: error reading " + std::string(f.name) + " from map file " + b.dir.path("m.map") + ".\n")
          << cut;
    }
  }
  MapBuild b;
  EXPECT_FALSE(b.single(whole).exited);
}

TEST(Maps, Refusals) {
  struct Case {
    MapFile map;
    std::string message;  // %s: the map's path
  };
  std::vector<Case> cases;
  for (int32_t v : {1, 3, -1}) {
    Case c;
    c.map.version = v;
    c.message = "ERROR: invalid map version in file %s:\n       Found " + std::to_string(v) + " expecting 2\n";
    cases.push_back(c);
  }
  {
    Case c;  // specials with no special code cannot be read whole
    c.map.specCnt = 1;
    c.map.specials = Bytes(6, 0);
    c.message = "ERROR: error reading spec code from map file %s.\n";
    cases.push_back(c);
  }
  {
    Case c;
    c.map.width = 0;
    c.map.height = 4;
    c.map.trailing = Bytes(100, 0);
    c.message = "ERROR: error reading data from map file %s.\n";
    cases.push_back(c);
  }
  {
    Case c;  // even without specials: the device takes the length as signed
    c.map.codeLength = 0x8000;
    c.message = "ERROR: special code length 32768 of map file %s is too long (at most 32767 bytes).\n";
    cases.push_back(c);
  }
  for (const Case& c : cases) {
    MapBuild b;
    auto o = b.single(c.map.bytes());
    std::string expected = c.message;
    expected.replace(expected.find("%s"), 2, b.dir.path("m.map"));
    EXPECT_EQ(o.status, 1) << c.message;
    EXPECT_EQ(o.err, expected);
    EXPECT_EQ(b.finish().recordCount(), 0);
  }
}

TEST(Maps, NumbersRunOnAcrossLines) {
  MapBuild b;
  Bytes map = MapFile().bytes();
  b.dir.write("a.map", map);
  b.dir.write("maps/b.map", map);
  // A one-character line and a bare CR line are skipped; a leading blank is not a skip.
  ASSERT_FALSE(b.compile("one.txt", "# maps\n\nx\n\r\n 0 a.map\n1 a.map extra\n").exited);
  auto o = b.compile("two.txt", "2 maps\\b.map\n");
  ASSERT_FALSE(o.exited) << o.err;
  EXPECT_EQ(b.run.world.mapSequence, 3);
  o = b.compile("three.txt", "0 a.map\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: map out of sequence 0 a.map\n" + at(b.dir.path("three.txt"), 1));
  // The wall numbers are their own.
  EXPECT_EQ(b.run.world.wallSequence, 0);
  EXPECT_EQ(b.finish().recordCount(), 3);
}

TEST(Maps, MapFilePathAlwaysTakesTheSeparator) {
  MapBuild b;
  b.run.options.forwardSlashes = false;
  b.run.buildDirectory = b.dir.path("Quest\\");
  auto o = b.compile("maps.txt", "0 m.map\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Can not open " + b.dir.path("Quest\\\\m.map") + ": No such file or directory\n");
}

TEST(Maps, ListFailures) {
  MapBuild b;
  auto o = b.compile("empty.txt", "# none\n");
  EXPECT_FALSE(o.exited);

  o = b.compile("maps.txt", "1 a.map\n");
  EXPECT_EQ(o.err, "ERROR: map out of sequence 1 a.map\n" + at(b.dir.path("maps.txt"), 1));
  EXPECT_EQ(o.status, 1);

  o = capture([&] { compileMaps(b.run.paths(), b.run.world, b.dir.path("missing.txt"), "MP", b.db()); });
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Could not open map file: No such file or directory\n" + at(b.dir.path("missing.txt")));

  o = b.compile("maps.txt", "0 nowhere.map\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Can not open " + b.dir.path("nowhere.map") + ": No such file or directory\n");

  b.run.world.mapSequence = 0;
  b.dir.write("folder.map/x", "");
  o = b.compile("maps.txt", "0 folder.map\n");
  EXPECT_EQ(o.err, "ERROR: Can not open " + b.dir.path("folder.map") + ": Is a directory\n");

  o = b.compile("maps.txt", "#\nfirst.map\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: line 2 of maps list " + b.dir.path("maps.txt") + " has no map number\n");
  o = b.compile("maps.txt", "7 \n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: line 1 of maps list " + b.dir.path("maps.txt") + " has no file name\n");
  EXPECT_EQ(b.finish().recordCount(), 0);
}

}  // namespace
}  // namespace kiln
