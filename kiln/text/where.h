#pragma once
// The lines a fault adds after its message so the author finds the mistake:
// where it is, and for a wrong keyword, what was probably meant.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kiln {

// A keyword of a table column and the number it stands for.
struct Keyword {
  const char* word;
  uint8_t code;
};

// "  at FILE:LINE" on standard error: the path as kiln opened it, the line from
// 1. Nothing when neither is known (no path and line 0).
void printAt(const std::string& path, int line);

// "  at FILE" on standard error, for a fault about a whole file.
void printAtFile(const std::string& path);

// The valid word closest to word (letter case counting as a small slip), or
// empty when none is close enough to be a likely typo.
std::string closestWord(const std::string& word, std::span<const char* const> words);

// "  did you mean 'WORD'?" when a valid word is close, else
// "  expected one of: W1, W2, ..." when the list is short; else nothing.
void suggestWord(const std::string& word, std::span<const char* const> words);
void suggestWord(const std::string& word, std::span<const Keyword> words);

// The words of a keyword table, in its order.
std::vector<const char*> keywordNames(std::span<const Keyword> words);

}  // namespace kiln
