// unkiln on the databases kiln builds: the listing, the decoded fields, and
// the round trip (extract, rebuild, compare byte for byte), and on hostile or
// damaged databases.
#include <filesystem>
#include <set>
#include <string>

#include "tests/adventure.h"

namespace {

namespace fs = std::filesystem;
using kit::testing::Adventure;
using kit::testing::Bytes;
using kit::testing::readBytes;
using kit::testing::readText;
using kit::testing::Result;
using kit::testing::run;

Result unkiln(const Adventure& a, const std::vector<std::string>& args) { return run("unkiln", args, a.s.root.string()); }

// Extracts the databases into out/NAME, rebuilds them there with the stored
// date and expects every one back byte for byte.
void expectRoundTrip(const Adventure& a, const std::string& built, const std::vector<std::string>& files,
                     const std::string& name, const std::string& epoch) {
  std::vector<std::string> args = {"extract"};
  for (const std::string& f : files) args.push_back(built + "/" + f);
  std::string out = a.s.path("out");
  args.insert(args.end(), {"-o", out + "/" + name});
  Result x = unkiln(a, args);
  ASSERT_EQ(x.status, 0) << x.out << x.err;
  EXPECT_EQ(x.out.find("cannot be reproduced"), std::string::npos) << x.out;

  Result k = run("kiln", {"-fs", out + "/" + name + "/pdbs.cfg"}, a.s.root.string(),
                 {{"AdventuresPath", out}, {"TMIIDEV", ""}, {"SOURCE_DATE_EPOCH", epoch}});
  ASSERT_EQ(k.status, 0) << k.err;
  for (const std::string& f : files) {
    Bytes original = readBytes(built + "/" + f), rebuilt = readBytes(out + "/" + name + "/" + f);
    EXPECT_EQ(original.size(), rebuilt.size()) << f;
    EXPECT_TRUE(original == rebuilt) << f << " differs after the round trip";
  }
}

const std::vector<std::string> kSampleFiles = {"QuestData.pdb", "QuestTiles.pdb", "QuestWalls.pdb", "QuestMaps.pdb"};

Adventure& sample() {
  static Adventure a;
  static bool built = false;
  if (!built) {
    fs::copy(kit::testing::sourcePath("examples/Quest"), a.quest,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    Result r = a.kiln({"-fs", a.path("pdbs.cfg")});
    EXPECT_EQ(r.status, 0) << r.err;
    built = true;
  }
  return a;
}

TEST(Unkiln, TheSampleAdventureRoundTrips) { expectRoundTrip(sample(), sample().quest, kSampleFiles, "Quest", "0"); }

TEST(Unkiln, TheBenchmarkAdventureRoundTripsAtScaleOneTenth) {
  Adventure a;
  std::string gen = "python3 " + kit::testing::sourcePath("bench/gen_adventure.py") + " " + a.s.path("gen") +
                    " --scale 0.1 > /dev/null";
  ASSERT_EQ(std::system(gen.c_str()), 0);
  std::string bench = a.s.path("gen/Bench");
  Result k = run("kiln", {"-fs", bench + "/pdbs.cfg"}, a.s.root.string(),
                 {{"AdventuresPath", a.s.path("gen")}, {"TMIIDEV", ""}, {"SOURCE_DATE_EPOCH", "1234567"}});
  ASSERT_EQ(k.status, 0) << k.err;
  expectRoundTrip(a, bench, {"BenchData.pdb", "BenchTiles.pdb", "BenchWalls.pdb", "BenchMaps.pdb"}, "Bench",
                  "1234567");
}

TEST(Unkiln, ListShowsTheHeaderAndASummaryPerRecord) {
  Adventure& a = sample();
  Result r = unkiln(a, {"list", a.path("QuestMaps.pdb"), a.path("QuestData.pdb")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (const char* text : {"  name: \"QuestMaps.QST1\"\n", "  type: \"TADV\"\n", "  creator: \"Tlm2\"\n",
                           "  created: \"1970-01-01T00:00:00Z\"\n", "  records: 4\n",
                           "MP     MP map 1 'Great hall' 12x10, 2 specials\n", "AU     AU \"The Sunken Keep\"\n",
                           "RE     RE Engine v1.5\n", "OB     OB 20 objects\n", "PA     PA 256 colours\n"})
    EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
}

TEST(Unkiln, ShowPicksRecordsByIndexOrCodeAndSpeaksJson) {
  Adventure& a = sample();
  Result r = unkiln(a, {"show", a.path("QuestData.pdb"), "-r", "6"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("record 6  offset 1280"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("objectType: \"HandWeapon\""), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("record 5 "), std::string::npos);

  r = unkiln(a, {"show", a.path("QuestData.pdb"), "-c", "SP", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"file\":", 0), 0u) << r.out.substr(0, 100);
  EXPECT_NE(r.out.find("\"code\":\"SP\""), std::string::npos);
  EXPECT_NE(r.out.find("\"verb\":\"casts\""), std::string::npos);
  EXPECT_EQ(r.out.find("\"code\":\"OB\""), std::string::npos);
  EXPECT_EQ(r.out.back(), '\n');

  r = unkiln(a, {"show", a.path("QuestData.pdb"), "-r", "99"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("has no record 99 (it has 20)"), std::string::npos) << r.err;
}

// A database laid out as the writer does, from stored records.
Bytes database(const std::string& name, const std::string& type, const std::vector<Bytes>& records) {
  Bytes b(78, 0);
  std::copy(name.begin(), name.begin() + std::min<size_t>(name.size(), 32), b.begin());
  b[32] = 0x08, b[33] = 0x08, b[34] = 1;
  std::copy(type.begin(), type.end(), b.begin() + 60);
  std::string creator = "Tlm2";
  std::copy(creator.begin(), creator.end(), b.begin() + 64);
  b[76] = uint8_t(records.size() >> 8), b[77] = uint8_t(records.size());
  uint32_t at = uint32_t(78 + 8 * records.size() + 2);
  for (const Bytes& r : records) {
    b.insert(b.end(), {uint8_t(at >> 24), uint8_t(at >> 16), uint8_t(at >> 8), uint8_t(at), 0, 0, 0, 0});
    at += uint32_t(r.size());
  }
  b.insert(b.end(), {0, 0});
  for (const Bytes& r : records) b.insert(b.end(), r.begin(), r.end());
  return b;
}

Bytes auRecord(const std::string& text) {
  Bytes r = {'A', 'U'};
  for (char c : text) r.push_back(uint8_t(c));
  r.resize((r.size() + 1 + 3) & ~size_t(3), 0);
  return r;
}

// A 1x1 map record named name (up to 30 bytes).
Bytes mapRecord(const std::string& name) {
  Bytes r = {'M', 'P', 1, 1};
  r.resize(2 + 56 + 2, 0);
  std::copy(name.begin(), name.begin() + std::min<size_t>(name.size(), 30), r.begin() + 2 + 10);
  return r;
}

TEST(Unkiln, HostileNamesNeverWriteOutsideTheOutputFolder) {
  Adventure a;
  const std::string names[] = {"../../../escape", "..", "C:\\Windows\\x", "/etc/passwd", "CON", "nul.txt",
                               std::string("bell\a\x01\x7f name"), "a:b", "", "com1"};
  std::vector<Bytes> records = {auRecord("Hostile maps")};
  for (const std::string& n : names) records.push_back(mapRecord(n));
  std::string in = a.s.write("in/..CON.pdb", database("Evil.ABCD", "TADV", records));
  std::string out = a.s.path("deep/out/Evil");
  Result r = unkiln(a, {"extract", in, "-o", out});
  ASSERT_EQ(r.status, 0) << r.out << r.err;

  std::set<std::string> written;
  for (auto& e : fs::recursive_directory_iterator(a.s.root))
    if (e.is_regular_file()) written.insert(fs::relative(e.path(), a.s.root).generic_string());
  // The database file's name "..CON" loses its dots and is then a name
  // Windows reserves.
  std::set<std::string> expected = {"in/..CON.pdb", "deep/out/Evil/pdbs.cfg", "deep/out/Evil/_CON-1-MP.txt"};
  for (const char* m : {"_.._.._escape", "map1", "C__Windows_x", "_etc_passwd", "_CON", "_nul.txt", "bell____name",
                        "a_b", "map8", "_com1"})
    expected.insert(std::string("deep/out/Evil/maps/") + m + ".map");
  EXPECT_EQ(written, expected);
  EXPECT_NE(readText(out + "/pdbs.cfg").find("!TADV:_CON:Evil.ABCD:Hostile maps:1.0\nMP _CON-1-MP.txt\n"),
            std::string::npos)
      << readText(out + "/pdbs.cfg");
}

TEST(Unkiln, DamagedRecordsAreReportedWithFileIndexAndOffsetAndTheListingGoesOn) {
  Adventure a;
  Bytes text = {'T', 'X', 0, 1, 0, 0, 'h', 'i', 0, 0};  // one text, "hi"; 10 bytes, not a multiple of 4
  text.resize(12, 0);
  Bytes shortObjects = {'O', 'B', 0, 2, 0, 0};  // two objects promised, none there
  Bytes unknown = {'Z', 'Q', 1, 2};
  Bytes badPadding = {'M', 'T', 0, 0, 0, 7, 0, 0};
  std::string in = a.s.write("bad.pdb", database("Bad.ABCD", "TADV",
                                                  {auRecord("Damaged"), shortObjects, text, unknown, badPadding}));
  Result r = unkiln(a, {"list", in});
  EXPECT_EQ(r.status, 1);
  std::string at = "ERROR: " + in + ": record ";
  EXPECT_NE(r.err.find(at + "1 at offset 132: record holds 4 bytes after its code, its format needs 94"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find(at + "3 at offset 150: unknown code ZQ (5A51 in hex)"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(at + "4 at offset 154: byte 3 after the end of the data (2 bytes) is not zero"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("TX     TX 1 texts\n"), std::string::npos) << r.out;

  Result x = unkiln(a, {"extract", in, "-o", a.s.path("x/Bad")});
  EXPECT_EQ(x.status, 2) << x.err;
  EXPECT_NE(x.out.find(in + ": record 1 (OB) cannot be reproduced"), std::string::npos) << x.out;
  EXPECT_NE(x.out.find(in + ": record 3 (ZQ) cannot be reproduced: unknown code"), std::string::npos) << x.out;
  EXPECT_NE(readText(a.s.path("x/Bad/pdbs.cfg")).find("TX bad-2-TX.txt\n"), std::string::npos);
}

TEST(Unkiln, ExtractionReportsAndListsInRecordOrderWhateverFinishesFirst) {
  // The files are made on several threads; what comes of them is taken in
  // record order: a large table among small ones, damaged ones between.
  Adventure a;
  Bytes text = {'T', 'X', 0, 1, 0, 0, 'h', 'i', 0, 0, 0, 0};
  Bytes damaged = {'O', 'B', 0, 2, 0, 0};
  std::vector<Bytes> records = {auRecord("Order"), mapRecord("first")};
  std::vector<int> bad, good;
  for (int i = 2; i < 300; ++i) {
    const bool isBad = i % 7 == 3;
    (isBad ? bad : good).push_back(i);
    records.push_back(isBad ? damaged : text);
  }
  std::string in = a.s.write("order.pdb", database("Order.ABCD", "TADV", records));
  Result x = unkiln(a, {"extract", in, "-o", a.s.path("x/Order")});
  EXPECT_EQ(x.status, 2) << x.err;
  std::string expectedOut;
  for (int i : bad) expectedOut += in + ": record " + std::to_string(i) + " (OB) cannot be reproduced: ";
  std::string out;
  for (size_t at = 0, end; (end = x.out.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = x.out.substr(at, end - at);
    if (line.find("cannot be reproduced") != std::string::npos) out += line.substr(0, line.find("reproduced: ") + 12);
  }
  EXPECT_EQ(out, expectedOut);
  std::string expectedConfig = "MP order-1-MP.txt\n";
  for (int i : good) expectedConfig += "TX order-" + std::to_string(i) + "-TX.txt\n";
  const std::string config = readText(a.s.path("x/Order/pdbs.cfg"));
  EXPECT_NE(config.find(expectedConfig), std::string::npos) << config;
}

TEST(Unkiln, ADatabaseThatNoDatabaseLineGivesIsLeftOutOfTheRebuild) {
  Adventure a;
  std::string odd = a.s.write("odd.pdb", database("Odd.ABCD", "DATA", {auRecord("Odd")}));
  std::string good = a.s.write("good.pdb", database("Good.ABCD", "TADV", {auRecord("Good")}));
  Result x = unkiln(a, {"extract", odd, good, "-o", a.s.path("x/Mixed")});
  EXPECT_EQ(x.status, 2) << x.err;
  EXPECT_NE(x.out.find(odd + ": the database cannot be reproduced: database type DATA is not TADV, TILE or WALL"),
            std::string::npos)
      << x.out;
  std::string config = readText(a.s.path("x/Mixed/pdbs.cfg"));
  EXPECT_NE(config.find("\n# odd: not extracted, no database line can give it\n"), std::string::npos) << config;
  EXPECT_NE(config.find("\n!TADV:good:Good.ABCD:Good:1.0\n"), std::string::npos) << config;
}

TEST(Unkiln, FilesThatAreNotDatabasesAreRefused) {
  Adventure a;
  std::string tiny = a.s.write("tiny.pdb", Bytes(20, 0));
  Bytes b = database("Order.ABCD", "TADV", {auRecord("x"), auRecord("y"), auRecord("z")});
  b[78 + 16 + 3] = 80;  // the third offset now lies inside the record list
  std::string order = a.s.write("order.pdb", b);
  Result r = unkiln(a, {"list", tiny, order, a.s.path("missing.pdb")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ERROR: " + tiny + ": file of 20 bytes is shorter than a database header (78 bytes)\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("ERROR: " + order + ": record 2: offset 80 lies outside the record data"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("ERROR: " + a.s.path("missing.pdb") + ": cannot be read: No such file or directory\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("AU     AU \"x\""), std::string::npos) << r.out;  // the sound record is still listed

  EXPECT_EQ(unkiln(a, {}).status, 0);
  Result bad = unkiln(a, {"frobnicate"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err.rfind("ERROR: unknown command <frobnicate>\nusage: unkiln list", 0), 0u) << bad.err;
}

}  // namespace
