#include "kiln/tables/spells.h"

#include <chrono>
#include <utility>

#include "kiln/tables/table_testing.h"

namespace kiln {
namespace {

using namespace testing;

Outcome compile(TestBuild& b, const std::string& table) {
  return compileTable(b, compileSpells, "spells.txt", table, "SP");
}

// A 72-byte entry worked out by hand: the name at 0 (at most 22 bytes) and the bytes listed.
Bytes entry(const std::string& name, std::initializer_list<std::pair<int, int>> bytes) {
  return handEntry(72, 0, 22, name, bytes);
}

const std::string kNoClasses = "- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - -";

const std::string kSpellBook =
    "# label name effect value 4 5 6 7 8 verb combat no_combat, then classes 0 to 31\n"
    "S1 \"Healing Touch\" heal 8 1 2 3 4 5 casts combat no_combat "
    "0 - - 2 - - - - - - - - - - - - - - - - - - - - - - - - - - - - \n"
    "S2 Weakness strength -3 0 10 255 256 -1 hurls combat - "
    "- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - 254 4 \n"
    "\n"
    "S3 \"Dragon's Breath of Ages Past\" vampire_HPSP_ALL_group 200 9 8 7 6 5 breathes Combat combat "
    "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 \n";

TEST(Spells, RealisticList) {
  TestBuild b;
  auto o = compile(b, kSpellBook);
  EXPECT_FALSE(o.exited) << o.err;
  EXPECT_EQ(o.err, "Warning: Name Dragon's Breath of Ages Past is being truncated\n  at spells.txt:5\n");
  auto pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 1);
  EXPECT_EQ(pdb.code(0), "SP");
  Bytes want = {3, 0};
  Bytes third = entry("Dragon's Breath of Age", {{26, 0}, {27, 5}, {28, 57}, {29, 0xC8}, {30, 7}, {31, 6}, {32, 0xFF},
                                                 {33, 0xFF}, {34, 0xFF}, {35, 0xFF}, {68, 9}, {69, 8}, {70, 5}});
  for (int i = 0; i < 32; ++i) third[36 + i] = uint8_t(i + 1);
  for (const Bytes& e : {
           entry("Healing Touch", {{26, 3}, {27, 5}, {28, 0}, {29, 8}, {30, 3}, {31, 4}, {35, 0x09}, {36, 1},
                                   {39, 3}, {68, 1}, {69, 2}, {70, 0}}),
           entry("Weakness", {{26, 1}, {27, 0xFF}, {28, 5}, {29, 0x83}, {30, 0xFF}, {31, 0}, {32, 0xC0}, {66, 255},
                              {67, 5}, {68, 0}, {69, 10}, {70, 3}}),
           third,
       })
    want.insert(want.end(), e.begin(), e.end());
  ASSERT_EQ(want.size(), 218u);  // "SP" + 218 is a multiple of 4: no padding
  EXPECT_EQ(pdb.data(0), want);
}

std::string spellLine(const std::string& name, const std::string& effect, const std::string& value,
                      const std::string& verb = "casts", const std::string& combat = "combat",
                      const std::string& noCombat = "-", const std::string& classes = kNoClasses) {
  return "L " + name + " " + effect + " " + value + " 0 0 0 0 0 " + verb + " " + combat + " " + noCombat + " " +
         classes + " \n";
}

// The first entry of a list that compiles.
Bytes compileOne(const std::string& line, std::string* err = nullptr) {
  return firstEntry(compileSpells, "spells.txt", line, "SP", 72, err);
}

TEST(Spells, EmptyListStillAddsTheRecord) {
  TestBuild b;
  compile(b, "# spells to come\n");
  auto pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 1);
  EXPECT_EQ(pdb.records[0], (Bytes{'S', 'P', 0, 0}));
}

TEST(Spells, EffectWords) {
  const char* effects[] = {
      "heal", "heal_all", "cure", "defend", "armor_all", "strength", "dexterity", "summon", "attack", "move_group",
      "attack_group", "confuse", "show_map", "compass", "see_traps", "trap_zap", "special", "disbelieve", "portal",
      "poison", "daze", "insane", "resist_fire", "resist_magic", "mana_drain", "levitation", "stealth",
      "saving_throw", "vampire_HP_1", "two_attack", "light", "alchemy", "attack_all", "regen_sp", "regen_hp",
      "lose_map", "poison_cloud", "insanity", "steal_equipped", "steal_unequipped", "kill_icons", "intervention",
      "batch_spell", "magic_armor", "steal_gold", "state", "cure_all", "vampire_HP_ALL", "vampire_SP_1",
      "vampire_SP_ALL", "vampire_HPSP_1", "vampire_HPSP_ALL", "vampire_HP_1_group", "vampire_HP_ALL_group",
      "vampire_SP_1_group", "vampire_SP_ALL_group", "vampire_HPSP_1_group", "vampire_HPSP_ALL_group",
  };
  std::string list;
  for (const char* effect : effects) list += spellLine("S", effect, "1");
  list += spellLine("S", "Heal", "1") + spellLine("S", "fireball", "1");
  TestBuild b;
  auto o = compile(b, list);
  // An unknown effect is taken as heal, with a warning.
  EXPECT_EQ(o.err,
            "WARNING: unknown spell effect <Heal> stored as heal\n  at spells.txt:59\n  did you mean 'heal'?\n"
            "WARNING: unknown spell effect <fireball> stored as heal\n  at spells.txt:60\n");
  Bytes data = b.finish().data(0);
  ASSERT_EQ(data[0], 60);
  for (int i = 0; i < 58; ++i) EXPECT_EQ(data[2 + 72 * i + 28], i) << effects[i];
  EXPECT_EQ(data[2 + 72 * 58 + 28], 0);
  EXPECT_EQ(data[2 + 72 * 59 + 28], 0);
}

TEST(Spells, DecreasesOfStrengthAndDexterity) {
  EXPECT_EQ(compileOne(spellLine("S", "strength", "-3"))[29], 0x83);
  EXPECT_EQ(compileOne(spellLine("S", "dexterity", "-10"))[29], 0x8A);
  EXPECT_EQ(compileOne(spellLine("S", "dexterity", "5"))[29], 5);
  EXPECT_EQ(compileOne(spellLine("S", "heal", "-3"))[29], 0xFD);
  EXPECT_EQ(compileOne(spellLine("S", "attack", "300"))[29], 44);
}

TEST(Spells, VerbWords) {
  const char* verbs[] = {"casts", "shoots", "throws", "hurls", "swings", "breathes"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(compileOne(spellLine("S", "attack", "1", verbs[i]))[70], i) << verbs[i];

  TestBuild b;
  auto o = compile(b, spellLine("S", "heal", "1") + spellLine("S", "heal", "1", "Casts"));
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.pause);
  EXPECT_EQ(o.err, "1 Invalid verb type <Casts>\n  at spells.txt:2\n  did you mean 'casts'?\n");
  o = compile(b, spellLine("S", "heal", "1", "cast"));
  EXPECT_EQ(o.err, "0 Invalid verb type <cast>\n  at spells.txt:1\n  did you mean 'casts'?\n");
  o = compile(b, spellLine("S", "heal", "1", "says"));
  EXPECT_EQ(o.err, "0 Invalid verb type <says>\n  at spells.txt:1\n"
                   "  expected one of: casts, shoots, throws, hurls, swings, breathes\n");
}

TEST(Spells, CombatFlags) {
  EXPECT_EQ(compileOne(spellLine("S", "heal", "1", "casts", "combat", "no_combat"))[26], 3);
  EXPECT_EQ(compileOne(spellLine("S", "heal", "1", "casts", "Combat", "no_combat"))[26], 2);
  EXPECT_EQ(compileOne(spellLine("S", "heal", "1", "casts", "combat", "combat"))[26], 1);
  EXPECT_EQ(compileOne(spellLine("S", "heal", "1", "casts", "no_combat", "No_combat"))[26], 0);
}

TEST(Spells, ClassColumns) {
  Bytes e = compileOne(spellLine("S", "heal", "1"));
  EXPECT_EQ(Bytes(e.begin() + 32, e.end() - 4), Bytes(36, 0));

  std::string classes = "0";
  for (int i = 1; i < 31; ++i) classes += " -";
  classes += " 4";
  e = compileOne(spellLine("S", "heal", "1", "casts", "combat", "-", classes));
  EXPECT_EQ(Bytes(e.begin() + 32, e.begin() + 36), (Bytes{0x80, 0x00, 0x00, 0x01}));
  EXPECT_EQ(e[36], 1);
  EXPECT_EQ(e[67], 5);
  EXPECT_EQ(Bytes(e.begin() + 37, e.begin() + 67), Bytes(30, 0));

  // Only "-" itself means no value: "--", "-1" and "x" are values.
  classes = "-- -1 x";
  for (int i = 3; i < 32; ++i) classes += " -";
  e = compileOne(spellLine("S", "heal", "1", "casts", "combat", "-", classes));
  EXPECT_EQ(Bytes(e.begin() + 32, e.begin() + 39), (Bytes{0, 0, 0, 0x07, 1, 0, 1}));
}

TEST(Spells, Names) {
  std::string err;
  Bytes e = compileOne(spellLine(std::string(20, 'a'), "heal", "1"), &err);
  EXPECT_EQ(err, "");
  e = compileOne(spellLine(std::string(21, 'b'), "heal", "1"), &err);
  EXPECT_EQ(err, "Warning: Name " + std::string(21, 'b') + " is being truncated\n  at spells.txt:1\n");
  EXPECT_EQ(Bytes(e.begin(), e.begin() + 22), [] { Bytes n(21, 'b'); n.push_back(0); return n; }());
  e = compileOne(spellLine(std::string(25, 'c'), "heal", "1"), &err);
  EXPECT_EQ(Bytes(e.begin(), e.begin() + 26), [] { Bytes n(22, 'c'); n.resize(26, 0); return n; }());
}

TEST(Spells, TokenCountWarning) {
  // 44 tokens, the last unquoted at the line end: counted 43, compiled in full.
  std::string err;
  std::string line = spellLine("S", "heal", "1");
  line.erase(line.size() - 2);  // drop the blank before the line end
  line.replace(line.size() - 1, 1, "7");
  Bytes e = compileOne(line + "\n", &err);
  std::string dump;
  const char* tokens[] = {"L", "S", "heal", "1", "0", "0", "0", "0", "0", "casts", "combat", "-"};
  for (int i = 0; i < 12; ++i) dump += "  " + std::to_string(i) + ") |" + tokens[i] + "|\n";
  for (int i = 12; i < 43; ++i) dump += "  " + std::to_string(i) + ") |-|\n";
  dump += "  43) |7|\n44 tokens read\n";
  EXPECT_EQ(err, dump + "Found 43 tokens, expected 44\n  at spells.txt:1\n");
  EXPECT_EQ(e[35], 0x00);
  EXPECT_EQ(e[32], 0x80);
  EXPECT_EQ(e[67], 8);

  // A line of 45 tokens, the last unquoted, is what the list expects.
  e = compileOne(line + " extra\n", &err);
  EXPECT_EQ(err, "");
}

TEST(Spells, AtMost255SpellsAndQuick) {
  std::string list;
  for (int i = 0; i < 255; ++i) list += spellLine("\"Spell " + std::to_string(i) + "\"", "attack", "5");
  TestBuild b;
  std::string path = b.dir.write("spells.txt", list);
  auto start = std::chrono::steady_clock::now();
  auto o = capture([&] { compileSpells(path, "SP", b.db()); });
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_FALSE(o.exited) << o.err;
  EXPECT_LT(ms, 100);
  Bytes data = b.finish().data(0);
  EXPECT_EQ(data[0], 255);
  EXPECT_EQ(data.size(), 2 + 255 * 72u);

  TestBuild over;
  o = compile(over, list + spellLine("Extra", "attack", "5"));
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: " + over.dir.path("spells.txt") + " line 256: a spell list holds at most 255 spells\n");
}

TEST(Spells, EachListStartsAfresh) {
  TestBuild b;
  compile(b, kSpellBook);
  compile(b, spellLine("Zap", "attack", "2"));
  auto pdb = b.finish();
  ASSERT_EQ(pdb.recordCount(), 2);
  Bytes second = pdb.data(1);
  EXPECT_EQ(second[0], 1);
  EXPECT_EQ(second.size(), 2 + 72u);
  EXPECT_EQ(Bytes(second.begin() + 2, second.begin() + 74), compileOne(spellLine("Zap", "attack", "2")));
  EXPECT_EQ(second[2], 'Z');
}

TEST(Spells, FileThatCannotBeOpened) {
  TestBuild b;
  auto o = capture([&] { compileSpells(b.dir.path("book.txt"), "SP", b.db()); });
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ERROR: Could not open spells.txt file: No such file or directory\n" + at(b.dir.path("book.txt")));
}

}  // namespace
}  // namespace kiln
