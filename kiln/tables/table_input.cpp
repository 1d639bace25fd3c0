#include "kiln/tables/table_input.h"

#include <cstdint>

#include "common/exit.h"
#include "common/files.h"
#include "kiln/text/where.h"

namespace kiln {

void openTable(TableInput& in, const std::string& path, const std::string& openMessage) {
  in.reader.file = kit::openInputFile(path);
  if (!in.reader.file) {
    std::perror(openMessage.c_str());
    printAtFile(path);
    kit::fail(1);
  }
  in.reader.path = path;
}

int columnNumber(const std::string& token) {
  size_t i = 0;
  // The C locale's white space, as atoi skips it.
  while (i < token.size() && (token[i] == ' ' || (token[i] >= '\t' && token[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
  uint32_t value = 0;
  for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) value = value * 10 + uint32_t(token[i] - '0');
  if (negative) value = 0u - value;
  return int32_t(value);
}

}  // namespace kiln
