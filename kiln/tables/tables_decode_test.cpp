// The table decoders and sources: tables with the awkward cases of each
// format compile, decode to a source, and that source compiles to the same
// bytes; records no table can give are refused with the reason.
#include <functional>

#include "kiln/tables/ac_table.h"
#include "kiln/tables/classes.h"
#include "kiln/tables/heroes.h"
#include "kiln/tables/heroes_decode.h"
#include "kiln/tables/monster_table.h"
#include "kiln/tables/monsters.h"
#include "kiln/tables/monsters_decode.h"
#include "kiln/tables/number_tables_decode.h"
#include "kiln/tables/objects.h"
#include "kiln/tables/objects_decode.h"
#include "kiln/tables/spells.h"
#include "kiln/tables/spells_decode.h"
#include "kiln/tables/table_testing.h"
#include "kiln/tables/texts.h"
#include "kiln/tables/texts_decode.h"

namespace kiln {
namespace {

using testing::Bytes;
using testing::compiledData;

using Compile = std::function<int(const std::string&, const char*, Database&)>;
using Source = std::function<bool(const Bytes&, std::string&, std::string&)>;

struct RoundTrip {
  const char* what;
  const char* code;
  Compile compile;
  Source source;
  std::string table;
};

Compile texts(int kind) {
  return [kind](const std::string& p, const char* c, Database& d) {
    return compileTexts(BuildPaths{}, false, p, c, d, kind);
  };
}
Source textSource(const char* code) {
  return [code](const Bytes& b, std::string& t, std::string& w) { return textsSource(code, b.data(), b.size(), t, w); };
}
template <bool (*f)(const uint8_t*, size_t, std::string&, std::string&)>
Source plain() {
  return [](const Bytes& b, std::string& t, std::string& w) { return f(b.data(), b.size(), t, w); };
}

std::string spellLine(const std::string& name, const std::string& effect, const std::string& value,
                      const std::string& classes) {
  return "s \"" + name + "\" " + effect + " " + value + " 1 2 3 4 5 hurls combat x " + classes + "\n";
}
std::string dashes(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "- ";
  return s;
}

TEST(TableSources, CompileBackToTheSameBytes) {
  const RoundTrip cases[] = {
      {"texts with quotes, backslashes, line feeds, tabs, high bytes and an empty one", "TX", texts(kTextKindTX),
       textSource("TX"), "1 A \"say \\\"hi\\\"\"\n2 B \"back\\\\slash\\nnew\tline\"\n3 C \"\"\n4 D \"caf\xE9 #x\"\n"},
      {"numbered from 0", "TG", texts(kTextKindTG), textSource("TG"), "0 A \"zero\"\n1 B \"one\"\n"},
      {"an empty text table", "TX", texts(kTextKindTX), textSource("TX"), "# nothing\n"},
      {"objects of every type, names with blanks, wrapped numbers", "OB", compileObjects, plain<objectsSource>(),
       "0 \"Long Sword\" 1 2 3 0 300 -1 70000 9 10 11 12 strength 5 light 6 HandWeapon 1 2 3 4 5\n"
       "1 Wand 1 2 1 1 6 7 8 9 10 11 12 experience 5 intelligence 6 SpellWeapon 1 2 3\n"
       "2 \"Iron Helm\" 1 2 3 4 5 6 7 8 9 10 11 armorclass 5 stamina 6 Protection boots 2 3 4 5\n"
       "3 Ring 1 2 3 4 5 6 7 8 9 10 11 dexterity 5 strength 6 Jewelry necklace resist_magic 4 5\n"
       "4 Apple 1 2 3 4 5 6 7 8 9 10 11 hitpoints 5 strength 6 Fruit cure_insanity 4 5\n"
       "5 Draught 1 2 3 4 5 6 7 8 9 10 11 spellpoints 5 strength 6 Potion experience 4 5\n"
       "6 Torch 1 2 3 4 5 6 7 8 9 10 11 strength 5 strength 6 Torch 7 8 9 10 11\n"
       "7 \"exactly twenty chars\" 1 2 3 4 5 6 7 8 9 10 11 strength 5 strength 6 Misc 250 251 252\n"},
      {"characters: slots, inns, elementals, long names, items, negative 32-bit column", "HE", compileHeroes,
       plain<heroesSource>(),
       "a \"Ann Marie Lee\" 1 her class0 2 3 4 5 6 7 1 - 8 9 10 11 -5 2 100 65535\n"
       "b Bo 1 him class31 2 3 4 5 6 7 0 255 8 9 10 11 12 0\n"
       "c Cy 1 it elemental 2 3 4 5 6 7 1 - 8 9 10 11 12 10 1 2 3 4 5 6 7 8 9 10\n"
       "d End 1 him endoflist 0 0 0 0 0 0 0 - 0 0 0 0 0 0\n"},
      {"spells: decreases of strength, class values of -1, flags, names of 22", "SP", compileSpells,
       plain<spellsSource>(),
       spellLine("Weaken", "strength", "-3", "0 -1 " + dashes(29) + "4 ") +
           spellLine("Twenty-two characters", "dexterity", "128", dashes(32)) +
           spellLine("Heal", "heal", "-3", "254 " + dashes(31)) +
           "s \"No flags\" vampire_HPSP_ALL_group 200 1 2 3 4 5 breathes x no_combat " + dashes(32) + "\n"},
      {"monsters: optional columns, lists, flags", "MO", compileMonsters, plain<monstersSource>(),
       "m \"Cave bat\" 1 2 3 4 5 - - 7 12 1 300 3 4 5 2 9 1 2 3 4 5 65535 7 10000000000000000000000000000001\n"
       "n Troll 1 2 3 4 5 9 1 2 3 1 2 3 4 5 3 3 1 2 3 4 5 6 7 0\n"},
      {"an empty monster list", "MO", compileMonsters, plain<monstersSource>(), ""},
      {"classes with short rows", "CL", compileClasses, plain<classesSource>(), "r 1 2 3\nr2 -1 256 7\n"},
      {"a monster table", "MT", compileMonsterTable, plain<monsterTableSource>(), "a 1 2\nb 300 -1\n"},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes data = compiledData(c.compile, "table.txt", c.table, c.code, 0);
    std::string text, why;
    ASSERT_TRUE(c.source(data, text, why)) << why;
    std::string err;
    Bytes again = compiledData(c.compile, "source.txt", text, c.code, 0, &err);
    EXPECT_EQ(again, data) << text;
    EXPECT_EQ(err.find("Found"), std::string::npos) << text;  // every line has its token count
  }
}

TEST(TableSources, AcRowsRunOnAcrossRecords) {
  testing::TestBuild b;
  testing::compileTable(b, compileAcTable, "a.txt", "a 1 2 3\n", "AC");
  testing::compileTable(b, compileAcTable, "b.txt", "b 4\nc 5\n", "AC");
  testing::PdbFile pdb = b.finish();
  std::vector<uint8_t> rows;
  std::string first, second, why;
  Bytes d0 = pdb.data(0), d1 = pdb.data(1);
  ASSERT_TRUE(acTableSource(d0.data(), d0.size(), rows, first, why)) << why;
  ASSERT_TRUE(acTableSource(d1.data(), d1.size(), rows, second, why)) << why;
  std::string zeros;
  for (int i = 0; i < 31; ++i) zeros += " 0";
  EXPECT_EQ(second, "# label and 32 values a row\nrow1 4" + zeros + "\nrow2 5" + zeros + "\n");
  rows = {9};
  rows.resize(32);
  EXPECT_FALSE(acTableSource(d1.data(), d1.size(), rows, second, why));
  EXPECT_NE(why.find("does not begin with the rows of the AC records before it"), std::string::npos);
}

struct Refusal {
  const char* what;
  Source source;
  Bytes data;
  const char* why;
};

TEST(TableSources, RecordsNoTableGivesAreRefusedWithTheReason) {
  Bytes object(2 + kObjectEntrySize + 2, 0);  // and the padding
  object[1] = 1;
  object[2 + 37] = 0x01;  // Misc
  Bytes flagTwo = object;
  flagTwo[2 + 10] = 2;  // col4 is a flag
  Bytes misc = object;
  misc[2 + 40] = 7;  // typeData2, which Misc does not set
  Bytes hero(kHeroEntrySize + 2, 0);
  hero[36] = 33, hero[105] = 1, hero[106] = 0xFF;  // endoflist, slot 1 where 0 comes first
  Bytes spell(2 + kSpellEntrySize, 0);
  spell[0] = 1, spell[2 + 70] = 9;  // verb 9
  const Refusal cases[] = {
      {"object flag of 2", plain<objectsSource>(), flagTwo, "col4 is a flag other than 0 or 1"},
      {"bytes the type does not set", plain<objectsSource>(), misc, "holds bytes that its type does not set"},
      {"no objects", plain<objectsSource>(), Bytes{0, 0}, "an object table without objects adds no record"},
      {"slot numbers out of order", plain<heroesSource>(), hero, "slot is not the next slot number"},
      {"verb without a word", plain<spellsSource>(), spell, "effect or verb code has no keyword"},
      {"text with a carriage return", textSource("TX"), Bytes{0, 1, 0, 0, 'a', '\r', 0, 0, 0, 0},
       "carriage return"},
      {"texts sharing bytes", textSource("TX"), Bytes{0, 2, 0, 0, 0, 0, 'a', 0, 0, 0}, "is not stored right after"},
      {"padding of a whole word", plain<monsterTableSource>(), Bytes{0, 0, 0, 0, 0, 0}, "where kiln stores 2"},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.what);
    std::string text, why;
    EXPECT_FALSE(c.source(c.data, text, why));
    EXPECT_NE(why.find(c.why), std::string::npos) << why;
  }
}

TEST(TableDecoders, ShowTheTablesNamesAndKeywords) {
  Bytes data = compiledData(compileObjects, "o.txt",
                            "0 Ring 1 2 3 4 5 6 7 8 9 10 11 dexterity 5 light 6 Jewelry ring strength 4 5\n", "OB", 0);
  RecordInfo info;
  std::string error;
  ASSERT_TRUE(describeObjects("OB", data.data(), data.size(), info, error)) << error;
  EXPECT_EQ(info.summary, "OB 1 objects");
  const Node& o = info.fields.members[1].second.items.at(0);
  auto field = [&](const char* name) -> const Node& {
    for (auto& [k, v] : o.members)
      if (k == name) return v;
    static Node none;
    ADD_FAILURE() << "no field " << name;
    return none;
  };
  EXPECT_EQ(field("name").text, "Ring");
  EXPECT_EQ(field("col7").number, 6);
  EXPECT_EQ(field("attribute").text, "dexterity");
  EXPECT_EQ(field("bonusAttribute").text, "light");
  EXPECT_EQ(field("objectType").text, "Jewelry");
  EXPECT_EQ(field("typeData0").text, "ring");
  EXPECT_EQ(field("typeData2").text, "strength");
  EXPECT_EQ(field("typeData1").number, 4);

  // A record shorter than its count says is damaged, not read past its end.
  Bytes cut(data.begin(), data.begin() + 20);
  EXPECT_FALSE(describeObjects("OB", cut.data(), cut.size(), info, error));
  EXPECT_EQ(error, "record holds 20 bytes after its code, its format needs 48");
}

}  // namespace
}  // namespace kiln
