#include "kiln/text/where.h"

#include "kiln/test_support.h"

namespace kiln {
namespace {

using testing::capture;

const char* const kTypes[] = {"Misc", "Jewelry", "Potion", "Fruit", "Protection", "SpellWeapon", "HandWeapon", "Torch"};

TEST(Where, LocationLines) {
  EXPECT_EQ(capture([] { printAt("/adv/Quest/objects.txt", 3); }).err, "  at /adv/Quest/objects.txt:3\n");
  EXPECT_EQ(capture([] { printAtFile("/adv/Quest/walls/gate.txt"); }).err, "  at /adv/Quest/walls/gate.txt\n");
}

TEST(Where, ClosestWord) {
  struct Case {
    const char* word;
    const char* expected;
  } cases[] = {
      {"HandWepon", "HandWeapon"},  // a letter left out
      {"misc", "Misc"},             // letter case only
      {"Torhc", "Torch"},           // two letters swapped
      {"Potions", "Potion"},
      {"Sword", ""},                // nothing close
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(closestWord(c.word, kTypes), c.expected) << c.word;
}

TEST(Where, SuggestionOrList) {
  EXPECT_EQ(capture([] { suggestWord("HandWepon", kTypes); }).err, "  did you mean 'HandWeapon'?\n");
  EXPECT_EQ(capture([] { suggestWord("Sword", kTypes); }).err,
            "  expected one of: Misc, Jewelry, Potion, Fruit, Protection, SpellWeapon, HandWeapon, Torch\n");
  // A long list is not printed whole.
  std::vector<std::string> many;
  for (int i = 0; i < 40; ++i) many.push_back("word" + std::to_string(i));
  std::vector<const char*> words;
  for (const auto& w : many) words.push_back(w.c_str());
  EXPECT_EQ(capture([&] { suggestWord("zzzzzzzz", words); }).err, "");
  EXPECT_EQ(capture([&] { suggestWord("word7x", words); }).err, "  did you mean 'word7'?\n");
  const Keyword keywords[] = {{"ring", 8}, {"necklace", 16}};
  EXPECT_EQ(capture([&] { suggestWord("rign", keywords); }).err, "  did you mean 'ring'?\n");
}

}  // namespace
}  // namespace kiln
