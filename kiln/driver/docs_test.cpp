// The author's guide lists every keyword a table accepts. Each list follows a
// marker line "<!-- keywords: NAME -->" and is one line of `word`, `word`;
// here every list is compared with the compiler's own, so the guide cannot
// drift from the code.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <span>
#include <string>
#include <vector>

#include "kiln/driver/dispatch.h"
#include "kiln/tables/heroes.h"
#include "kiln/tables/objects.h"
#include "kiln/tables/spells.h"
#include "kiln/text/where.h"

namespace kiln {
namespace {

using Words = std::vector<std::string>;

Words words(std::span<const char* const> list) { return Words(list.begin(), list.end()); }
Words words(std::span<const Keyword> list) {
  Words w;
  for (const Keyword& k : list) w.push_back(k.word);
  return w;
}

// The backquoted words of one line.
Words backquoted(const std::string& line) {
  Words w;
  size_t at = 0;
  while ((at = line.find('`', at)) != std::string::npos) {
    size_t end = line.find('`', at + 1);
    if (end == std::string::npos) break;
    w.push_back(line.substr(at + 1, end - at - 1));
    at = end + 1;
  }
  return w;
}

// Every marked list of every page of the guide, by name; a name marked twice
// is recorded twice (and fails below).
std::multimap<std::string, Words> guideLists() {
  std::multimap<std::string, Words> lists;
  const std::string marker = "<!-- keywords: ";
  // The guide lies in docs/ at the top of the source tree.
  std::filesystem::path docs = std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "docs";
  for (const auto& entry : std::filesystem::directory_iterator(docs)) {
    if (entry.path().extension() != ".md") continue;
    std::ifstream in(entry.path());
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind(marker, 0) != 0) continue;
      std::string name = line.substr(marker.size(), line.find(" -->") - marker.size());
      std::string next;
      while (std::getline(in, next) && next.empty()) {
      }
      lists.emplace(name, backquoted(next));
    }
  }
  return lists;
}

TEST(Guide, EveryKeywordListEqualsTheCompilers) {
  const std::map<std::string, Words> code = {
      {"data-type-codes", words(kDataTypeCodes)},
      {"object-types", words(kObjectTypeWords)},
      {"object-attributes", words(kObjectAttributeWords)},
      {"object-bonus-attributes", words(kObjectBonusWords)},
      {"jewelry-attributes", words(kJewelryAttributeWords)},
      {"fruit-attributes", words(kFruitAttributeWords)},
      {"potion-attributes", words(kPotionAttributeWords)},
      {"protection-devices", words(kProtectionWords)},
      {"jewelry-kinds", words(kJewelryWords)},
      {"spell-effects", words(kSpellEffectWords)},
      {"spell-verbs", words(kSpellVerbWords)},
      {"hero-pronouns", words(kHeroPronounWords)},
      {"hero-classes", words(kHeroClassWords)},
  };
  std::multimap<std::string, Words> guide = guideLists();
  for (const auto& [name, list] : code) {
    ASSERT_EQ(guide.count(name), 1u) << "the guide should list " << name << " once";
    EXPECT_EQ(guide.find(name)->second, list) << name;
  }
  for (const auto& [name, list] : guide) EXPECT_TRUE(code.count(name)) << "no compiler list for " << name;
}

}  // namespace
}  // namespace kiln
