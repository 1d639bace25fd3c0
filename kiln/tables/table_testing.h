#pragma once
// What the table compilers' unit tests share: running a compiler on a table
// written into the build folder, reading its record back, and entries worked
// out by hand.

#include <initializer_list>
#include <string>
#include <type_traits>
#include <utility>

#include "kiln/test_support.h"

namespace kiln::testing {

// Calls a table compiler with the parts of the test's run that it takes: the
// AC rows of the build, or the paths and the -text option (the text tables),
// or nothing but the path, the code and the database.
template <typename Compile, typename... Extra>
void callCompiler(TestBuild& b, Compile compile, const std::string& path, const char* code, Extra... extra) {
  if constexpr (std::is_invocable_v<Compile, TablesState&, const std::string&, const char*, Database&>)
    compile(b.run.tables, path, code, b.db());
  else if constexpr (std::is_invocable_v<Compile, const BuildPaths&, bool, const std::string&, const char*,
                                         Database&, Extra...>)
    compile(b.run.paths(), b.run.options.writeTextHeader, path, code, b.db(), extra...);
  else
    compile(path, code, b.db(), extra...);
}

// Writes text as the table file `name` in the build folder and runs compile on
// it under code, with any further arguments the compiler takes (the text
// kind), its output captured; the location lines name the file without its
// folder ("  at heroes.txt:2").
template <typename Compile, typename... Extra>
Outcome compileTable(TestBuild& b, Compile compile, const std::string& name, const std::string& text,
                     const char* code, Extra... extra) {
  std::string path = b.dir.write(name, text);
  Outcome o = capture([&] { callCompiler(b, compile, path, code, extra...); });
  o.err = fileNamesOnly(o.err);
  return o;
}

// The data of the one record of a table that must compile (after the code,
// padding included). A table that fails gives failedSize zero bytes instead,
// so that the checks after it read zeros rather than past the end.
template <typename Compile>
Bytes compiledData(Compile compile, const std::string& name, const std::string& text, const char* code,
                   size_t failedSize, std::string* err = nullptr) {
  TestBuild b;
  Outcome o = compileTable(b, compile, name, text, code);
  EXPECT_FALSE(o.exited) << text << o.err;
  if (err) *err = o.err;
  if (o.exited) return Bytes(failedSize, 0);
  return b.finish().data(0);
}

// The first entry of a table that must compile, its entries starting at
// offset 2 (after a 16-bit count, or a count byte and a reserved byte).
template <typename Compile>
Bytes firstEntry(Compile compile, const std::string& name, const std::string& text, const char* code,
                 size_t entrySize, std::string* err = nullptr) {
  Bytes data = compiledData(compile, name, text, code, 2 + entrySize, err);
  if (data.size() < 2 + entrySize) {
    ADD_FAILURE() << "no entry in the record";
    data.resize(2 + entrySize);
  }
  return Bytes(data.begin() + 2, data.begin() + 2 + entrySize);
}

// The payload of record i of a counted table (a count byte, a reserved byte,
// then count entries of entrySize bytes) without its padding; checks the
// record's code and its stored size.
inline Bytes countedPayload(const PdbFile& pdb, int i, const char* code, size_t entrySize) {
  EXPECT_EQ(pdb.code(i), code);
  Bytes d = pdb.data(i);
  size_t n = 2 + entrySize * size_t(d.at(0));
  EXPECT_EQ(pdb.records[i].size(), (2 + n + 3) & ~size_t(3));
  if (d.size() < n) {
    ADD_FAILURE() << "record " << i << " is shorter than its count says";
    return d;
  }
  return Bytes(d.begin(), d.begin() + n);
}

// An entry of size bytes worked out by hand: zero bytes, the first nameWidth
// characters of name at nameAt, then the bytes listed as (offset, value).
inline Bytes handEntry(size_t size, size_t nameAt, size_t nameWidth, const std::string& name,
                       std::initializer_list<std::pair<int, int>> bytes) {
  Bytes e(size, 0);
  for (size_t i = 0; i < name.size() && i < nameWidth; ++i) e[nameAt + i] = uint8_t(name[i]);
  for (auto [at, value] : bytes) e[size_t(at)] = uint8_t(value);
  return e;
}

}  // namespace kiln::testing
