// vitals: prints how hit points (or spell points) grow over levels 1 to 20
// from a starting value and a starting stamina (or intelligence).

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Numbers behave as the game's signed 32-bit ones: sums wrap rather than
// running into undefined behaviour for absurd starting values.
int32_t wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

// Leading blanks, a sign, then digits, as atoi and "%d" read them; found is
// false when no digit follows. Values beyond 32 bits are held at the limit.
int32_t readNumber(const char* s, bool& found) {
  while (std::isspace(static_cast<unsigned char>(*s))) s++;
  bool negative = *s == '-';
  if (*s == '-' || *s == '+') s++;
  found = std::isdigit(static_cast<unsigned char>(*s)) != 0;
  int64_t v = 0;
  for (; std::isdigit(static_cast<unsigned char>(*s)); s++) {
    v = v * 10 + (*s - '0');
    if (v > static_cast<int64_t>(INT32_MAX) + 1) v = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) v = -v;
  if (v > INT32_MAX) v = INT32_MAX;
  return static_cast<int32_t>(v);
}

// A whole argument that is a number: blanks, a sign, digits and nothing after.
bool isNumber(const char* s) {
  while (std::isspace(static_cast<unsigned char>(*s))) s++;
  if (*s == '-' || *s == '+') s++;
  if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
  while (std::isdigit(static_cast<unsigned char>(*s))) s++;
  return *s == '\0';
}

void usage(const char* program) {
  std::fprintf(stderr, "%s:\n", program);
  std::fprintf(stderr, "-start <#>  ; [18] starting HP/SP\n");
  std::fprintf(stderr, "-stamina <#> ; [18] starting int/sta\n");
  std::fprintf(stderr, "-h ; print this help\n");
}

// One whole line from standard input, however long.
std::string readLine() {
  std::string line;
  int c;
  while ((c = std::fgetc(stdin)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
  return line;
}

// Asks for a number; an answer of 0 or without a number keeps the default.
int32_t ask(const char* prompt, int32_t fallback) {
  std::printf("%s", prompt);
  std::fflush(stdout);
  bool found;
  int32_t v = readNumber(readLine().c_str(), found);
  return found && v != 0 ? v : fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const char* program = argc > 0 ? argv[0] : "vitals";
  int32_t start = 18;
  int32_t stamina = 18;

  // -h wins wherever it stands, even as another option's value.
  for (int i = 0; i < argc; i++) {
    if (std::strcmp(argv[i], "-h") == 0) {
      usage(program);
      return 0;
    }
  }
  for (int i = 1; i < argc; i++) {
    bool isStart = std::strcmp(argv[i], "-start") == 0;
    bool isStamina = std::strcmp(argv[i], "-stamina") == 0;
    if (!isStart && !isStamina) {
      // A mistyped option (-strat) would otherwise print the table for 18.
      if (argv[i][0] == '-') {
        usage(program);
        return 1;
      }
      continue;
    }
    // An option needs a value, and the value must be a number: "abc" would
    // otherwise be taken as 0.
    if (i + 1 >= argc || !isNumber(argv[i + 1])) {
      usage(program);
      return 1;
    }
    bool found;
    (isStart ? start : stamina) = readNumber(argv[++i], found);
  }

  bool interactive = argc <= 1;
  if (interactive) {
    start = ask("Enter the starting HP or SP: ", start);
    stamina = ask("Enter the starting stamina / intelligence: ", stamina);
  }

  int32_t hp = start;
  std::printf("start HP/SP = %d.  start Stamina/Intelligence = %d\n", start, stamina);
  for (int level = 1; level <= 20;) {
    std::printf("L=%d stam/int=%d HP/SP=%d\n", level, stamina, hp);
    level++;
    if (level % 2 == 1) stamina = wrap(int64_t{stamina} + 1);
    int32_t gain = wrap(int64_t{stamina} + hp) / 10;
    hp = wrap(int64_t{hp} + gain);
  }

  if (interactive) {
    std::printf("Press ENTER to exit\n");
    std::fflush(stdout);
    std::getchar();
  }
  return 0;
}
