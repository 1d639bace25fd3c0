#include "kiln/text/where.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace kiln {

namespace {

// Lists up to this long are short enough to print whole.
constexpr size_t kShortList = 12;

char lower(char c) { return char(std::tolower(static_cast<unsigned char>(c))); }

// Edit distance in tenths: a change of letter case costs 1; an insertion,
// deletion, substitution or swap of two neighbouring letters costs 10.
int distance(const std::string& a, const char* b) {
  size_t n = std::strlen(b);
  std::vector<int> before(n + 1), previous(n + 1), current(n + 1);
  for (size_t j = 0; j <= n; ++j) previous[j] = int(j) * 10;
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = int(i) * 10;
    for (size_t j = 1; j <= n; ++j) {
      char x = a[i - 1], y = b[j - 1];
      int change = x == y ? 0 : lower(x) == lower(y) ? 1 : 10;
      current[j] = std::min({previous[j] + 10, current[j - 1] + 10, previous[j - 1] + change});
      if (i > 1 && j > 1 && x == b[j - 2] && a[i - 2] == y) current[j] = std::min(current[j], before[j - 2] + 10);
    }
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return previous[n];
}

}  // namespace

void printAt(const std::string& path, int line) {
  // A compiler run on its own (a test, a harness) has no configuration line.
  if (path.empty() && line == 0) return;
  std::fprintf(stderr, "  at %s:%d\n", path.c_str(), line);
}

void printAtFile(const std::string& path) { std::fprintf(stderr, "  at %s\n", path.c_str()); }

std::string closestWord(const std::string& word, std::span<const char* const> words) {
  // One slip in four letters, at least one and at most three.
  int allowed = 10 * int(std::clamp<size_t>(word.size() / 4, 1, 3));
  const char* best = nullptr;
  int bestDistance = allowed + 1;
  for (const char* candidate : words) {
    int d = distance(word, candidate);
    if (d < bestDistance) {
      best = candidate;
      bestDistance = d;
    }
  }
  return best && !word.empty() ? best : std::string();
}

void suggestWord(const std::string& word, std::span<const char* const> words) {
  std::string close = closestWord(word, words);
  if (!close.empty()) {
    std::fprintf(stderr, "  did you mean '%s'?\n", close.c_str());
  } else if (words.size() <= kShortList) {
    std::fprintf(stderr, "  expected one of: ");
    for (size_t i = 0; i < words.size(); ++i) std::fprintf(stderr, "%s%s", i ? ", " : "", words[i]);
    std::fprintf(stderr, "\n");
  }
}

void suggestWord(const std::string& word, std::span<const Keyword> words) {
  std::vector<const char*> names = keywordNames(words);
  suggestWord(word, std::span<const char* const>(names));
}

std::vector<const char*> keywordNames(std::span<const Keyword> words) {
  std::vector<const char*> names;
  for (const Keyword& k : words) names.push_back(k.word);
  return names;
}

}  // namespace kiln
