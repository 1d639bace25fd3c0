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

// FNV-1a, 64 bits: enough to tell two builds apart.
uint64_t fnv1a(const Bytes& bytes) {
  uint64_t h = 0xcbf29ce484222325u;
  for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3u;
  return h;
}

// Every file of the sample build, with its dates fixed, is byte for byte what
// kiln wrote before it read PNG and run-length BMP files, although the torch
// brush is now a PNG and the banner an RLE8 BMP: the hashes were taken from
// the build of the all-plain-BMP sample.
TEST(SampleAdventure, BytesAsBeforeThePngAndRunLengthBrushes) {
  kit::testing::Adventure a;
  std::filesystem::copy(kit::testing::sourcePath("examples/Quest"), a.quest,
                        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
  Result r = a.kiln({"-fs", "-hist", "-text", "-palette", a.path("pdbs.cfg")});
  ASSERT_EQ(r.status, 0) << r.err;
  struct {
    std::string path;
    size_t size;
    uint64_t hash;
  } pinned[] = {
      {a.path("QuestData.pdb"), 8724, 0x11f3610ea70a404bu},
      {a.path("QuestTiles.pdb"), 1044, 0x2eaeb336adcb2285u},
      {a.path("QuestWalls.pdb"), 3772, 0x379e6a49afcbe43du},
      {a.path("QuestMaps.pdb"), 756, 0x92fe9413dc56a433u},
      {a.adv + "/wallattr.bin", 207, 0xb442b2289a68282fu},
      {a.s.path("histogram.txt"), 9838, 0x9fe2e8aa12440f8fu},
      {a.s.path("palette.txt"), 5654, 0x683cb79888827eedu},
      {a.path("src/Talmoric2/src/textpdb.h"), 445, 0xb25e25b209a28e1eu},
  };
  for (const auto& p : pinned) {
    Bytes bytes = readBytes(p.path);
    EXPECT_EQ(bytes.size(), p.size) << p.path;
    EXPECT_EQ(fnv1a(bytes), p.hash) << p.path;
  }
}

}  // namespace
