// kiln's start-up and build driver, run as an author runs it.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/adventure.h"

namespace {

using kit::testing::Bytes;
using kit::testing::readBytes;
using kit::testing::readText;
using kit::testing::Result;
using kit::testing::Scratch;

const char kBanner[] = "Talmoric ][ Resource Compiler. V0.99.1\n";
const char kRule[] = "\n====================================================\n";

// Without -fs the separator is "\", which on this system is part of a file
// name: the build directory adv\Quest is one folder named that way.
struct Kit : kit::testing::Adventure {
  std::string questDir(bool fs) const { return adv + (fs ? "/" : "\\") + "Quest"; }
  std::string writeConfig(const std::string& text, bool fs = true) const {
    std::filesystem::create_directories(questDir(fs));
    std::string path = questDir(fs) + "/pdbs.cfg";
    s.write(std::filesystem::relative(path, s.root).string(), text);
    return path;
  }
};

using kit::testing::be32;

Bytes header(const std::string& name, const char* type, uint16_t version, uint16_t count) {
  Bytes h(78, 0);
  std::copy(name.begin(), name.end(), h.begin());
  h[32] = 0x08, h[33] = 0x08;
  h[34] = uint8_t(version >> 8), h[35] = uint8_t(version);
  const uint8_t date[4] = {0x7C, 0x25, 0xB0, 0x80};  // 2082844800: 1970 counted from 1904
  std::copy(date, date + 4, h.begin() + 36);
  std::copy(date, date + 4, h.begin() + 40);
  std::copy(type, type + 4, h.begin() + 60);
  std::copy("Tlm2", "Tlm2" + 4, h.begin() + 64);
  h[76] = uint8_t(count >> 8), h[77] = uint8_t(count);
  return h;
}

void append(Bytes& b, std::initializer_list<uint32_t> offsets) {
  for (uint32_t o : offsets) {
    uint8_t e[8] = {uint8_t(o >> 24), uint8_t(o >> 16), uint8_t(o >> 8), uint8_t(o), 0, 0, 0, 0};
    b.insert(b.end(), e, e + 8);
  }
  b.push_back(0), b.push_back(0);
}

void append(Bytes& b, const std::string& bytes) { b.insert(b.end(), bytes.begin(), bytes.end()); }

const char kSample[] =
    "!NAME:Quest\n"
    "!TADV:questdata:Quest.ABCD:First adventure:1.2\n"
    "RW Hello 1.0\n"
    "RE 2.5\n"
    "!TILE:tiles:Quest tiles:Tile set:1.0\n"
    "RT Tiles 3\n";

TEST(KilnBuild, TwoDatabasesByteForByteWithTheirConsoleLines) {
  Kit k;
  std::string cfg = k.writeConfig(kSample, false);
  Result r = k.kiln({cfg});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, kBanner);
  std::string dir = k.questDir(false);
  EXPECT_EQ(r.out, "Processing " + cfg + "\n" + "Adventures Path = " + k.adv + "\n" +
                       "Building adventure \"Quest\"\n" + "Build directory = " + dir + "\n" + kRule +
                       "Creating questdata.pdb: \"Quest.ABCD\" <Tlm2> <TADV> First adventure v1.2\n"
                       "  - Datatype <RW> : Hello v1.0\n"
                       "  - Datatype <RE> : Engine v2.5\n"
                       "\n  ***Finished pdb: Wrote 3 records for 36 data bytes.\n" +
                       kRule +
                       "Creating tiles.pdb: \"Quest tiles\" <Tlm2> <TILE> Tile set v1.0\n"
                       "  - Datatype <RT> : Tiles v3.0\n"
                       "\n  ***Finished pdb: Wrote 2 records for 24 data bytes.\n" +
                       kRule + "Done.\n");

  // Records AU (20 bytes), RW (12), RE (4) after a list of 3 entries and the gap.
  Bytes quest = header("Quest.ABCD", "TADV", 0x0102, 3);
  append(quest, {104, 124, 136});
  append(quest, std::string("AUFirst adventure\0\0\0", 20));
  append(quest, std::string("RW\x01\x00Hello\0\0\0", 12));
  append(quest, std::string("RE\x02\x05", 4));
  EXPECT_EQ(readBytes(dir + "\\questdata.pdb"), quest);

  Bytes tiles = header("Quest tiles", "TILE", 0x0100, 2);
  append(tiles, {96, 108});
  append(tiles, std::string("AUTile set\0\0", 12));
  append(tiles, std::string("RT\x03\x00Tiles\0\0\0", 12));
  EXPECT_EQ(readBytes(dir + "\\tiles.pdb"), tiles);
}

TEST(KilnBuild, TheSevenLineAdventureWithItsPaletteAndTiles) {
  Kit k;
  k.copySample({"palette.bmp", "tiles"});
  k.write("tiles.txt", "0 tiles\\grass.bmp\n1 tiles\\water.bmp\n");
  std::string cfg = k.writeConfig(
      "!NAME:Quest\n"
      "!TADV:questdata:Quest.ABCD:First adventure:1.2\n"
      "RW Hello 1.0\n"
      "RE 2.5\n"
      "PA palette.bmp\n"
      "!TILE:tiles:Quest tiles:Tile set:1.0\n"
      "T8 tiles.txt\n");
  Result r = k.kiln({"-fs", cfg});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, kBanner);
  std::string dir = k.questDir(true);
  std::string head = "Processing " + cfg + "\nAdventures Path = " + k.adv + "\nBuilding adventure \"Quest\"\n" +
                     "Build directory = " + dir + "\n" + kRule +
                     "Creating questdata.pdb: \"Quest.ABCD\" <Tlm2> <TADV> First adventure v1.2\n"
                     "  - Datatype <RW> : Hello v1.0\n"
                     "  - Datatype <RE> : Engine v2.5\n"
                     "  - Datatype <PA> from <" + dir + "/palette.bmp>\n"
                     "\n  ***Finished pdb: Wrote 9 records for ";
  EXPECT_EQ(r.out.substr(0, head.size()), head);
  std::string tiles = std::string(kRule) + "Creating tiles.pdb: \"Quest tiles\" <Tlm2> <TILE> Tile set v1.0\n"
                      "  - Datatype <T8> from <" + dir + "/tiles.txt>\n";
  EXPECT_NE(r.out.find(tiles), std::string::npos) << r.out;
  std::string tail = "\n  ***Finished pdb: Wrote 3 records for ";
  ASSERT_NE(r.out.find(tail), std::string::npos);
  const std::string end = std::string(kRule) + "Done.\n";
  EXPECT_EQ(r.out.substr(r.out.size() - end.size()), end);

  Bytes quest = readBytes(dir + "/questdata.pdb");
  Bytes top = header("Quest.ABCD", "TADV", 0x0102, 9);
  ASSERT_GE(quest.size(), 78u);
  EXPECT_EQ(Bytes(quest.begin(), quest.begin() + 78), top);
  auto records = kit::testing::pdbRecords(quest);
  std::vector<std::string> codes;
  for (const Bytes& rec : records) codes.push_back(kit::testing::recordCode(rec));
  EXPECT_EQ(codes, (std::vector<std::string>{"AU", "RW", "RE", "PA", "P0", "P1", "P2", "P3", "P4"}));
  EXPECT_EQ(records[0], (Bytes{'A', 'U', 'F', 'i', 'r', 's', 't', ' ', 'a', 'd', 'v', 'e', 'n', 't', 'u', 'r', 'e', 0, 0, 0}));
  EXPECT_EQ(records[1], (Bytes{'R', 'W', 1, 0, 'H', 'e', 'l', 'l', 'o', 0, 0, 0}));
  EXPECT_EQ(records[2], (Bytes{'R', 'E', 2, 5}));
  EXPECT_EQ(kit::testing::be32(quest, 78), 78u + 8 * 9 + 2);

  Bytes tileDb = readBytes(dir + "/tiles.pdb");
  ASSERT_GE(tileDb.size(), 78u);
  EXPECT_EQ(Bytes(tileDb.begin(), tileDb.begin() + 78), header("Quest tiles", "TILE", 0x0100, 3));
  records = kit::testing::pdbRecords(tileDb);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0], (Bytes{'A', 'U', 'T', 'i', 'l', 'e', ' ', 's', 'e', 't', 0, 0}));
  EXPECT_EQ(kit::testing::recordCode(records[1]), "T8");
  EXPECT_EQ(kit::testing::recordCode(records[2]), "T8");
}

TEST(KilnBuild, ForwardSlashesAndTheInputPathLine) {
  Kit k;
  std::string cfg = k.writeConfig(
      "!NAME:Quest\n!TADV:q:Quest.ABCD:x:1\nZZ data\\objects.txt\n", true);
  Result r = k.kiln({"-fs", cfg});
  // The unknown code still prints its input path first, with every "\" turned into "/".
  EXPECT_NE(r.out.find("  - Datatype <ZZ> from <" + k.adv + "/Quest/data/objects.txt>\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, std::string(kBanner) + "ERROR: Unknown data type <ZZ>\n  at " + cfg + ":3\n");
  EXPECT_EQ(r.status, 6);
  // The database that failed is not left behind, half-written or otherwise.
  EXPECT_FALSE(std::filesystem::exists(k.questDir(true) + "/q.pdb"));
  EXPECT_FALSE(std::filesystem::exists(k.questDir(true) + "/q.pdb.tmp"));
}

TEST(KilnBuild, OneStreamForBothKeepsTheOrderOfTheLines) {
  // An author who sends stdout and stderr to one log reads the lines in the
  // order they happened, as on a console.
  Kit k;
  std::string cfg = k.writeConfig("!NAME:Quest\n!TADV:q:Quest.ABCD:x:1\nZZ data.txt\n");
  std::string log = k.s.path("merged.log");
  std::string command = "cd '" + k.s.root.string() + "' && env TMIIDEV= AdventuresPath='" + k.adv +
                        "' HOME=. XDG_CONFIG_HOME=./.config '" + kit::testing::binPath("kiln") + "' -fs '" + cfg +
                        "' </dev/null >'" + log + "' 2>&1";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 6);
  EXPECT_EQ(readText(log), std::string(kBanner) + "Processing " + cfg + "\nAdventures Path = " + k.adv +
                               "\nBuilding adventure \"Quest\"\nBuild directory = " + k.questDir(true) + "\n" +
                               kRule + "Creating q.pdb: \"Quest.ABCD\" <Tlm2> <TADV> x v1.0\n" +
                               "  - Datatype <ZZ> from <" + k.questDir(true) + "/data.txt>\n" +
                               "ERROR: Unknown data type <ZZ>\n  at " + cfg + ":3\n");
}

TEST(KilnBuild, SameEpochSameBytes) {
  Kit k;
  std::string cfg = k.writeConfig(kSample, true);
  ASSERT_EQ(k.kiln({"-fs", cfg}).status, 0);
  Bytes first = readBytes(k.questDir(true) + "/questdata.pdb");
  ASSERT_EQ(k.kiln({"-fs", cfg}).status, 0);
  EXPECT_EQ(readBytes(k.questDir(true) + "/questdata.pdb"), first);
  ASSERT_EQ(k.kiln({"-fs", cfg}, {{"SOURCE_DATE_EPOCH", "86400"}}).status, 0);
  Bytes later = readBytes(k.questDir(true) + "/questdata.pdb");
  ASSERT_EQ(later.size(), first.size());
  for (size_t i = 0; i < first.size(); ++i)
    if (i < 36 || i >= 44) {
      EXPECT_EQ(first[i], later[i]) << "byte " << i;
    }
  EXPECT_EQ(be32(later, 36), be32(first, 36) + 86400);
}

TEST(KilnBuild, OptionsSelectDatabases) {
  Kit k;
  std::string cfg = k.writeConfig(
      "!NAME:Quest\n"
      "!TADV:adv:Quest.ABCD:a:1\nRW A 1\n"
      "!TILE:til:Tiles:t:1\nRW T 1\n"
      "!WALL:wal:Walls:w:1\nRW W 1\n");
  std::string dir = k.questDir(true);
  auto built = [&](const char* name) { return std::filesystem::exists(dir + "/" + name + ".pdb"); };
  auto clean = [&] {
    for (const char* n : {"adv", "til", "wal"}) std::filesystem::remove(dir + "/" + n + ".pdb");
  };
  struct Case {
    std::vector<std::string> opts;
    bool adv, til, wal;
  } cases[] = {
      {{}, true, true, true},
      {{"-wall"}, false, false, true},
      {{"-tile"}, false, true, false},
      {{"-maps"}, true, false, false},
      {{"-wall", "-tile"}, false, false, false},
  };
  for (const Case& c : cases) {
    clean();
    std::vector<std::string> args = c.opts;
    args.push_back("-fs");
    args.push_back(cfg);
    Result r = k.kiln(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Done.\n"), std::string::npos);
    EXPECT_EQ(built("adv"), c.adv) << c.opts.size();
    EXPECT_EQ(built("til"), c.til);
    EXPECT_EQ(built("wal"), c.wal);
  }
  // With every type off, the string lines of the skipped databases are not
  // added anywhere and nothing is created or finished.
  clean();
  Result r = k.kiln({"-wall", "-tile", "-fs", cfg});
  EXPECT_EQ(r.out.find("Creating"), std::string::npos);
  EXPECT_EQ(r.out.find("Datatype"), std::string::npos);
}

TEST(KilnBuild, SecondNameLineMovesTheBuildDirectoryOnly) {
  Kit k;
  std::filesystem::create_directories(k.adv + "/Other");
  std::string cfg = k.writeConfig(
      "!NAME:Quest\n!TADV:one:Quest.ABCD:a:1\n!NAME:Other\nRW Still 1\n!TILE:two:Tiles:t:1\n");
  Result r = k.kiln({"-fs", cfg});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(k.adv + "/Quest/one.pdb"));
  EXPECT_TRUE(std::filesystem::exists(k.adv + "/Other/two.pdb"));
  // The string line after the second NAME still went into the open database.
  EXPECT_NE(r.out.find("Wrote 2 records"), std::string::npos);
}

TEST(KilnBuild, SkippedAndIgnoredLines) {
  Kit k;
  std::string cfg = k.writeConfig(
      "# comment\r\n"
      "\r\n"
      " RW Indented 1\r\n"
      "!NAME:Quest\r\n"
      "!TADV:q:Quest.ABCD:a:1.10\r\n"
      "\tRW Tabbed 1\r\n"
      "rw lower 1\r\n"
      "7 digit\r\n"
      "RW  Spaced   2.5  extra\r\n");
  Result r = k.kiln({"-fs", cfg});
  ASSERT_EQ(r.status, 0) << r.err;
  // Lines dropped for their first character are named; blank ones are not.
  std::string ignored = "WARNING: line ignored: data lines start with an upper-case code, comments with \"#\"\n";
  EXPECT_EQ(r.err, std::string(kBanner) + ignored + "  at " + cfg + ":6\n" + ignored + "  at " + cfg + ":7\n" +
                       ignored + "  at " + cfg + ":8\n");
  EXPECT_NE(r.out.find("<TADV> a v1.10\n"), std::string::npos);
  EXPECT_NE(r.out.find("  - Datatype <RW> : Spaced v2.5\n"), std::string::npos);
  EXPECT_NE(r.out.find("Wrote 2 records"), std::string::npos);
  Bytes b = readBytes(k.questDir(true) + "/q.pdb");
  EXPECT_EQ(b[34], 1);
  EXPECT_EQ(b[35], 10);  // 1.10 is 266
}

struct Failure {
  const char* config;
  const char* message;
  int status;
  int line;  // of the configuration, named after the message
};

TEST(KilnBuild, ConfigurationFaultsAndTheirMessages) {
  const Failure cases[] = {
      // The one message without a line end gets one before its location.
      {"!TADV:q:Quest.ABCD:a:1\n", "ERROR: NAME must be first in .cfg file\n", 1, 1},
      {"!NAME:Quest\n!TEXT:q:Quest.ABCD:a:1\n", "ERROR: Unknown pdb type <TEXT>\n", 1, 2},
      {"!NAME:Quest\n!name:Other\n", "ERROR: Unknown pdb type <name>\n", 1, 2},
      {"!NAME:Quest\n!TILE:q:abc:a:1\n", "ERROR: Invalid name <abc>: Must be 4 to 32 in length including the ID\n", 1, 2},
      {"!NAME:Quest\n!TILE:q:123456789012345678901234567890123:a:1\n",
       "ERROR: Invalid name <123456789012345678901234567890123>: Must be 4 to 32 in length including the ID\n", 1, 2},
      {"!NAME:Quest\n!TADV:q:QuestABCD:a:1\n", "ERROR: Missing game code in name <QuestABCD>\n", 1, 2},
      {"!NAME:Quest\n!TADV:q:Quest.ABC:a:1\n", "ERROR: Invalid game code <ABC>: Must be 4 characters\n", 1, 2},
      {"!NAME:Quest\n!TADV:q:A.B.CDEF:a:1\n", "ERROR: Invalid game code <B.CDEF>: Must be 4 characters\n", 1, 2},
      {"!NAME:Quest\n!TILE:q:Tiles:a:1.2.3\n", "Bad version <1.2.3>\n", 1, 2},
      {"!NAME:Quest\n!TILE:q:Tiles:a:v1\n", "Bad version <v1>\n", 1, 2},
      {"!NAME:Quest\n!TILE:q:Tiles:a:256.0\n", "Bad version <256.0>\n", 1, 2},
      {"!NAME:Quest\n!TILE:q:Tiles:a:1.256\n", "Bad version <1.256>\n", 1, 2},
      {"# comment\n!NAME:Quest\n!TILE:q:Tiles:a:1\nRW Hi 1.x\n", "Bad version <1.x>\n", 1, 4},
      {"!NAME:Quest\n!TILE:q:Tiles:a:1\nXY file.txt\n", "ERROR: Unknown data type <XY>\n", 6, 3},
      {"!NAME:Quest\n!TILE:q:Tiles:a:1\nOBJ objects.txt\n", "ERROR: Unknown data type <OBJ>\n", 6, 3},
  };
  for (const Failure& c : cases) {
    Kit k;
    std::string cfg = k.writeConfig(c.config);
    Result r = k.kiln({"-fs", cfg});
    std::string where = "  at " + cfg + ":" + std::to_string(c.line) + "\n";
    std::string hint = std::string(c.message).find("<OBJ>") != std::string::npos ? "  did you mean 'OB'?\n" : "";
    EXPECT_EQ(r.err, std::string(kBanner) + c.message + where + hint) << c.config;
    EXPECT_EQ(r.status, c.status) << c.config;
  }
}

TEST(KilnBuild, MalformedLinesAreRefused) {
  const char* cases[] = {
      "!NAME\n",
      "!NAME:Quest\n!TILE:q:Tiles:a\n",
      "!NAME:Quest\nRW Early 1\n",
      "RW Early 1\n",
      "!NAME:Quest\n!TILE:q:Tiles:a:1\nRW OnlyText\n",
      "!NAME:Quest\n!TILE:q:Tiles:a:1\nRE\n",
      "!NAME:Quest\n!TILE:q:Tiles:a:1\nOB\n",
      "!NAME:Quest\n!TILE:q:Tiles:a:1\nRW " "" "0123456789012345678901234567890123456789012345678901234567890123456789"
      "0123456789012345678901234567890123456789012345678901234567890123456789"
      "0123456789012345678901234567890123456789012345678901234567890123456789"
      "0123456789012345678901234567890123456789012345678901234567890123456789 1\n",
      "!NAME:Quest\n!TILE:q:Tiles:0123456789012345678901234567890123456789012345678901234567890123456789AB:1\n",
      "!NAME:Quest\n!TILE:0123456789012345678901234567890123456789012345678901234567890123:Tiles:a:1\n",
  };
  for (const char* c : cases) {
    Kit k;
    Result r = k.kiln({"-fs", k.writeConfig(c)});
    EXPECT_EQ(r.status, 1) << c;
    EXPECT_EQ(r.err.rfind(std::string(kBanner) + "ERROR: ", 0), 0u) << c << r.err;
  }
}

TEST(KilnBuild, FailureKeepsFinishedDatabasesAndThePreviousCopy) {
  Kit k;
  std::string dir = k.questDir(true);
  std::string cfg = k.writeConfig("!NAME:Quest\n!TADV:first:Quest.ABCD:a:1\nRW One 1\n"
                                  "!TILE:second:Tiles:t:1\nRW Two 1\nRW Bad 1.x\n");
  k.s.write("adv/Quest/second.pdb", "the previous build");
  Result r = k.kiln({"-fs", cfg});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(readBytes(dir + "/first.pdb").size(), 78u + 16 + 2 + 4 + 8);
  EXPECT_EQ(readText(dir + "/second.pdb"), "the previous build");
  EXPECT_FALSE(std::filesystem::exists(dir + "/second.pdb.tmp"));
}

TEST(KilnBuild, DatabaseThatCannotBeCreatedEndsAtOnce) {
  Kit k;
  std::string cfg = k.writeConfig("!NAME:Quest\n!NAME:Missing\n!TILE:q:Tiles:a:1\n");
  Result r = k.kiln({"-fs", cfg}, {{"TMIIDEV", "\x01"}});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string(kBanner) + "ERROR: failed to open " + k.adv +
                       "/Missing/q.pdb\n: No such file or directory\n  at " + cfg + ":3\n");
  EXPECT_EQ(r.out.find("Press ENTER"), std::string::npos);  // no pause even without TMIIDEV
}

TEST(KilnStartup, UsageAndThePause) {
  Kit k;
  const std::string usage = std::string(kBanner) +
                            "Command line usage:\n"
                            "\t/x/kiln [params] <file.cfg>\n\n"
                            "\tCommand line args:\n"
                            "\t\t-wall ; Make only TlmWalls.pdb\n"
                            "\t\t-tile ; Make only TlmTiles.pdb\n"
                            "\t\t-maps ; Make only TlmMaps.pdb\n"
                            "\t\t-hist ; Output histogram.txt\n"
                            "\t\t-fs ; use forward slash instead of backslashes in paths\n\n"
                            "Or drag and drop a pdbs.cfg file onto this executable\n\n";
  for (const char* opt : {"-h", "-?"}) {
    Result r = k.kiln({opt, "never.cfg"});
    EXPECT_EQ(r.status, 0);
    std::string program = kit::testing::binPath("kiln");
    std::string expected = usage;
    expected.replace(expected.find("/x/kiln"), 7, program);
    EXPECT_EQ(r.err, expected);
    EXPECT_EQ(r.out, "");  // the arguments after it are not looked at
  }
  // Without TMIIDEV the program waits for ENTER before it ends.
  Result paused = k.kiln({"-h"}, {{"TMIIDEV", "\x01"}}, "\n");
  EXPECT_EQ(paused.status, 0);
  EXPECT_EQ(paused.out, "Press ENTER to exit.");
  // Any value of TMIIDEV, even an empty one, ends at once.
  Result immediate = k.kiln({"-h"}, {{"TMIIDEV", ""}});
  EXPECT_EQ(immediate.out, "");
}

TEST(KilnStartup, PaletteListingIsOpenedWhenItsOptionIsRead) {
  Kit k;
  k.kiln({"-h", "-palette"});
  EXPECT_FALSE(std::filesystem::exists(k.s.path("palette.txt")));
  k.kiln({"-palette", "-h"});
  EXPECT_TRUE(std::filesystem::exists(k.s.path("palette.txt")));
  EXPECT_EQ(readText(k.s.path("palette.txt")), "");
}

TEST(KilnStartup, ConfigurationThatCannotBeOpened) {
  Kit k;
  for (auto args : std::vector<std::vector<std::string>>{{"-wall"}, {"missing.cfg"}, {"adventure.CFG"}}) {
    Result r = k.kiln(args);
    std::string path = args[0].find(".cfg") != std::string::npos ? args[0] : "";
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "Processing " + path + "\n");
    EXPECT_EQ(r.err, std::string(kBanner) + "filename: " + path + "\nERROR: Can't open config file: No such file or directory\n");
  }
  // A folder is refused like a file that cannot be opened.
  std::filesystem::create_directories(k.s.path("folder.cfg"));
  Result r = k.kiln({"folder.cfg"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, std::string(kBanner) + "filename: folder.cfg\nERROR: Can't open config file: Is a directory\n");
  // The last argument holding ".cfg" wins.
  Result last = k.kiln({"first.cfg", "second.cfg"});
  EXPECT_EQ(last.out, "Processing second.cfg\n");
}

TEST(KilnStartup, AdventuresPathMissing) {
  Kit k;
  Result r = k.kiln({"x.cfg"}, {{"AdventuresPath", "\x01"}});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, std::string(kBanner) +
                       "Can't find AdventuresPath in registry\nare you sure you installed DEZARED correctly?\n"
                       "  set it with: advpath -init FOLDER (or the AdventuresPath environment variable)\n");
  EXPECT_EQ(r.out, "");

  // The usage needs no adventures folder; the options before -h still count.
  r = k.kiln({"-palette", "-h", "x.cfg"}, {{"AdventuresPath", "\x01"}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err.substr(0, std::string(kBanner).size() + 20), std::string(kBanner) + "Command line usage:\n");
  EXPECT_TRUE(std::filesystem::exists(k.s.path("palette.txt")));
}

TEST(KilnStartup, LongAdventuresPathWorks) {
  Kit k;
  std::string longDir = k.adv + "/" + std::string(100, 'p') + "/" + std::string(100, 'q') + "/" + std::string(100, 'r');
  std::filesystem::create_directories(longDir + "/Quest");
  k.s.write(std::filesystem::relative(longDir + "/Quest/pdbs.cfg", k.s.root).string(),
            "!NAME:Quest\n!TILE:q:Tiles:a:1\n");
  Result r = k.kiln({"-fs", longDir + "/Quest/pdbs.cfg"}, {{"AdventuresPath", longDir}});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(longDir + "/Quest/q.pdb"));
}

TEST(KilnStartup, NoArgumentsAndNothingChosen) {
  Kit k;
  Result r = k.kiln({}, {{"TMIIDEV", "\x01"}}, "");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kBanner);
  EXPECT_EQ(r.out, "");
}

TEST(KilnStartup, NoArgumentsChoosesTheFileFromTheLastLoadFolder) {
  Kit k;
  std::string cfg = k.writeConfig("!NAME:Quest\n");
  std::filesystem::create_directories(k.adv + "/Other");
  k.s.write("adv/Other/other.cfg", "!NAME:Other\n");
  const std::string settings = ".config/Brindlewood/DEZARED.conf";
  k.s.write(settings, "[Config]\nKilnLastLoadPath=" + k.questDir(true) + "\n");
  // A name without its extension, relative to the folder the last choice came from.
  Result r = k.kiln({}, {}, "pdbs\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "Processing " + cfg + "\n");
  EXPECT_EQ(readText(k.s.path(settings)), "[Config]\nKilnLastLoadPath=" + k.questDir(true) + "\n");
  // Choosing a file elsewhere moves the stored folder there.
  r = k.kiln({}, {}, "../Other/other.cfg\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Building adventure \"Other\"\n"), std::string::npos) << r.out;
  EXPECT_EQ(readText(k.s.path(settings)), "[Config]\nKilnLastLoadPath=" + k.adv + "/Other\n");
}

TEST(KilnBuild, SixtyThousandStringRecordsBuildQuickly) {
  Kit k;
  std::string cfg = "!NAME:Quest\n!TADV:big:Quest.ABCD:a:1\n";
  for (int i = 0; i < 60000; ++i) cfg += "RW S" + std::to_string(i) + " 1.0\n";
  std::string path = k.writeConfig(cfg);
  auto start = std::chrono::steady_clock::now();
  Result r = k.kiln({"-fs", path});
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_LT(seconds, 1.0 * kit::testing::kSlowdown);
  Bytes b = readBytes(k.questDir(true) + "/big.pdb");
  EXPECT_EQ(b[76] << 8 | b[77], 60001);
}

}  // namespace
