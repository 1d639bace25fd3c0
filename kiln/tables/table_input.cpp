#include "kiln/tables/table_input.h"

#include <climits>
#include <cstdint>

#include "common/exit.h"
#include "common/files.h"

namespace kiln {

void openTable(TableInput& in, const std::string& path, const std::string& openMessage) {
  in.reader.file = kit::openInputFile(path);
  if (!in.reader.file) {
    std::perror(openMessage.c_str());
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
  int64_t value = 0;
  const int64_t limit = negative ? -int64_t(INT_MIN) : INT_MAX;
  for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
    value = value * 10 + (token[i] - '0');
    if (value > limit) value = limit;
  }
  return int(negative ? -value : value);
}

}  // namespace kiln
