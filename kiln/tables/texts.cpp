#include "kiln/tables/texts.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "common/exit.h"
#include "common/output_file.h"
#include "kiln/pdb/bytes.h"
#include "kiln/tables/table_input.h"
#include "kiln/text/where.h"
#include "kiln/text/tokenizer.h"

namespace kiln {

std::string textHeaderPath(const BuildPaths& paths) {
  if (paths.forwardSlashes) return paths.buildDirectory + "/src/Talmoric2/src/textpdb.h";
  return paths.buildDirectory + "\\src\\Talmoric2\\src\\textpdb.h";
}

int compileTexts(const BuildPaths& paths, bool writeTextHeader, const std::string& path, const char* code,
                 Database& db, int kind) {
  // The header is written beside its final path and only renamed into place
  // once the whole table has compiled, so a fault leaves the previous one.
  std::string headerPath = textHeaderPath(paths);
  kit::AtomicFile header;
  if (writeTextHeader && !header.open(headerPath)) {
    std::perror("ERROR: Could not open include file for write");
    printAtFile(headerPath);
    kit::fail(1);
  }

  TableInput in;
  openTable(in, path, "ERROR: Could not open text file");
  TokenReader& reader = in.reader;

  std::vector<uint16_t> offsets;
  std::vector<uint8_t> block;
  int index = 0;
  int count = 0;
  while (readTableLine(reader, count)) {
    if (count != 3) {
      std::fprintf(stderr, "ERROR: Found %d tokens, expected 3\n", count);
      dumpTokens(reader, stderr);
      printAt(path, reader.line);
      kit::fail(1);
    }
    int number = columnNumber(reader.token(0));
    int lineIndex = kind == kTextKindTX ? int(uint32_t(number) - 1u) : number;
    if (lineIndex != index) {
      std::fprintf(stderr, "ERROR: Text Num %d out of order; currNum = %d\n", index, lineIndex);
      printAt(path, reader.line);
      kit::fail(1);
    }
    if (offsets.size() >= kMaxStrings) {
      std::fprintf(stderr, "ERROR: %s line %d: a text table holds at most %zu strings\n", path.c_str(),
                   reader.line, kMaxStrings);
      kit::fail(1);
    }
    const std::string& text = reader.token(2);
    // Offsets are 16 bits, and the game reads the block through them.
    if (block.size() + text.size() + 1 > 65535) {
      std::fprintf(stderr, "ERROR: %s line %d: the strings of a text table take more than 65535 bytes\n",
                   path.c_str(), reader.line);
      kit::fail(1);
    }
    offsets.push_back(uint16_t(block.size()));
    block.insert(block.end(), text.begin(), text.end());
    block.push_back(0);
    if (kind == kTextKindTX && header.file)
      std::fprintf(header.file, "#define %s %d\n", reader.token(1).c_str(), index);
    ++index;
  }

  std::vector<uint8_t> payload;
  payload.reserve(2 + 2 * offsets.size() + block.size());
  appendBE16(payload, uint32_t(offsets.size()));
  for (uint16_t offset : offsets) appendBE16(payload, offset);
  payload.insert(payload.end(), block.begin(), block.end());
  addPDBEntry(db, code, payload);

  if (header.file && !header.commit()) {
    kit::reportWriteFailure(headerPath);
    kit::fail(1);
  }
  return 0;
}

}  // namespace kiln
