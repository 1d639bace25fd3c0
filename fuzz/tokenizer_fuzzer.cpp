// The line tokenizer on any bytes: every line is read, its token count and
// token lengths stay within their limits, and the end is always reached.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "kiln/text/tokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kiln;
  static FILE* sink = std::fopen("/dev/null", "w");
  std::vector<uint8_t> text(data, data + size);
  TokenReader reader;
  reader.path = "fuzz.txt";
  reader.file = size ? fmemopen(text.data(), size, "rb") : std::fopen("/dev/null", "rb");
  if (!reader.file) fuzz::propertyFailed("fmemopen failed");
  try {
    // Every line stores at least one byte, so there are never more calls than bytes.
    for (size_t calls = 0; calls <= size + 1; ++calls) {
      int count = readTokens(reader);
      if (count < 0 || count > kMaxTokens) fuzz::propertyFailed("token count out of range");
      for (int i = 0; i <= count; ++i)
        if (reader.token(size_t(i)).size() > kMaxTokenLength) fuzz::propertyFailed("token too long");
      dumpTokens(reader, sink);
      if (count == 0 && reader.atEnd()) break;
      if (calls == size + 1) fuzz::propertyFailed("the tokenizer never reaches the end");
    }
  } catch (const kit::Exit&) {
  }
  std::fclose(reader.file);
  return 0;
}
