// vitals: the HP/SP table, its options and its prompts.

#include <algorithm>
#include <string>

#include "tests/program.h"

namespace kit::testing {
namespace {

const char* const kDefaultTable =
    "start HP/SP = 18.  start Stamina/Intelligence = 18\n"
    "L=1 stam/int=18 HP/SP=18\n"
    "L=2 stam/int=18 HP/SP=21\n"
    "L=3 stam/int=19 HP/SP=25\n"
    "L=4 stam/int=19 HP/SP=29\n"
    "L=5 stam/int=20 HP/SP=33\n"
    "L=6 stam/int=20 HP/SP=38\n"
    "L=7 stam/int=21 HP/SP=43\n"
    "L=8 stam/int=21 HP/SP=49\n"
    "L=9 stam/int=22 HP/SP=56\n"
    "L=10 stam/int=22 HP/SP=63\n"
    "L=11 stam/int=23 HP/SP=71\n"
    "L=12 stam/int=23 HP/SP=80\n"
    "L=13 stam/int=24 HP/SP=90\n"
    "L=14 stam/int=24 HP/SP=101\n"
    "L=15 stam/int=25 HP/SP=113\n"
    "L=16 stam/int=25 HP/SP=126\n"
    "L=17 stam/int=26 HP/SP=141\n"
    "L=18 stam/int=26 HP/SP=157\n"
    "L=19 stam/int=27 HP/SP=175\n"
    "L=20 stam/int=27 HP/SP=195\n";

std::string usage() {
  return binPath("vitals") +
         ":\n"
         "-start <#>  ; [18] starting HP/SP\n"
         "-stamina <#> ; [18] starting int/sta\n"
         "-h ; print this help\n";
}

// The first lines of a table's output.
std::string head(const std::string& out, int lines) {
  size_t pos = 0;
  for (int i = 0; i < lines && pos != std::string::npos; i++) pos = out.find('\n', pos) + 1;
  return out.substr(0, pos);
}

int lineCount(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }

TEST(Vitals, DefaultTable) {
  Scratch s;
  Result r = run("vitals", {"ignored"}, s.root.string());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kDefaultTable);
  EXPECT_EQ(r.err, "");
}

TEST(Vitals, CommandLineValuesAreTakenAsTheyAre) {
  Scratch s;
  Result r = run("vitals", {"-start", "0"}, s.root.string());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(head(r.out, 5),
            "start HP/SP = 0.  start Stamina/Intelligence = 18\n"
            "L=1 stam/int=18 HP/SP=0\n"
            "L=2 stam/int=18 HP/SP=1\n"
            "L=3 stam/int=19 HP/SP=3\n"
            "L=4 stam/int=19 HP/SP=5\n");
  EXPECT_EQ(lineCount(r.out), 21);

  r = run("vitals", {"-start", "+7", "-stamina", " 12"}, s.root.string());
  EXPECT_EQ(head(r.out, 3),
            "start HP/SP = 7.  start Stamina/Intelligence = 12\n"
            "L=1 stam/int=12 HP/SP=7\n"
            "L=2 stam/int=12 HP/SP=8\n");

  // Beyond 32 bits a value is held at the limit; the table runs on without a fault.
  r = run("vitals", {"-start", "99999999999", "-stamina", "-99999999999"}, s.root.string());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(head(r.out, 1), "start HP/SP = 2147483647.  start Stamina/Intelligence = -2147483648\n");
  EXPECT_EQ(lineCount(r.out), 21);
}

TEST(Vitals, NegativeStartShrinks) {
  Scratch s;
  Result r = run("vitals", {"-start", "-50", "-stamina", "0"}, s.root.string());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(head(r.out, 5),
            "start HP/SP = -50.  start Stamina/Intelligence = 0\n"
            "L=1 stam/int=0 HP/SP=-50\n"
            "L=2 stam/int=0 HP/SP=-55\n"
            "L=3 stam/int=1 HP/SP=-60\n"
            "L=4 stam/int=1 HP/SP=-65\n");
  EXPECT_NE(r.out.find("\nL=20 stam/int=9 HP/SP=-265\n"), std::string::npos);
}

TEST(Vitals, HelpWinsWhereverItStands) {
  Scratch s;
  for (auto args : {std::vector<std::string>{"-h"}, {"-start", "5", "-h"}, {"-start", "-h"},
                    {"-h", "-stamina"}}) {
    Result r = run("vitals", args, s.root.string());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, usage());
  }
}

TEST(Vitals, OptionWithoutNumberOrUnknownGivesUsage) {
  Scratch s;
  for (auto args : {std::vector<std::string>{"-start"}, {"-start", "5", "-stamina"}, {"-start", "abc"},
                    {"-start", "lots", "-stamina", "12abc"}, {"-stamina", "12abc"}, {"-start", "-stamina", "5"},
                    {"-strat", "10"}, {"-start", "10", "--stamina", "3"}}) {
    Result r = run("vitals", args, s.root.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, usage());
  }
}

TEST(Vitals, PromptsWithoutArguments) {
  Scratch s;
  const std::string prompts = "Enter the starting HP or SP: Enter the starting stamina / intelligence: ";
  // Empty answers keep the defaults, and the table ends with the pause.
  Result r = run("vitals", {}, s.root.string(), {}, "\n\n\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, prompts + kDefaultTable + "Press ENTER to exit\n");

  // 0 or no number keeps the default; a long answer is read whole.
  r = run("vitals", {}, s.root.string(), {}, "0\n" + std::string(100, ' ') + "30 points" + std::string(100, 'x') + "\n\n");
  EXPECT_EQ(head(r.out, 1), prompts + "start HP/SP = 18.  start Stamina/Intelligence = 30\n");

  r = run("vitals", {}, s.root.string(), {}, "  -50 hp\nnone\n");
  EXPECT_EQ(head(r.out, 1), prompts + "start HP/SP = -50.  start Stamina/Intelligence = 18\n");

  // End of input at the prompts is an empty answer.
  r = run("vitals", {}, s.root.string(), {}, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, prompts + kDefaultTable + "Press ENTER to exit\n");
}

}  // namespace
}  // namespace kit::testing
