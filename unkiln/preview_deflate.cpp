#include "unkiln/preview_deflate.h"

#include <array>

namespace unkiln {

namespace {

// A code of deflate's fixed table with the bits in stream order (the table's
// codes are written from their most significant bit).
struct Code {
  uint32_t bits = 0;
  int length = 0;
};

constexpr uint32_t reversed(uint32_t code, int length) {
  uint32_t out = 0;
  for (int i = 0; i < length; ++i) out |= ((code >> i) & 1u) << (length - 1 - i);
  return out;
}

constexpr Code fixedCode(int symbol) {
  if (symbol < 144) return {reversed(0x30u + symbol, 8), 8};
  if (symbol < 256) return {reversed(0x190u + (symbol - 144), 9), 9};
  if (symbol < 280) return {reversed(uint32_t(symbol - 256), 7), 7};
  return {reversed(0xC0u + (symbol - 280), 8), 8};
}

struct Tables {
  std::array<Code, 256> literal{};
  std::array<Code, 259> match{};  // length 3 to 258 at distance 1: symbol, extra bits, distance code 0
};

constexpr Tables makeTables() {
  Tables t;
  for (int i = 0; i < 256; ++i) t.literal[i] = fixedCode(i);
  // First length and extra bits of length symbols 257 to 285.
  constexpr int base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                            31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  constexpr int extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  for (int length = 3; length <= 258; ++length) {
    int s = 28;
    while (base[s] > length) --s;
    Code c = fixedCode(257 + s);
    c.bits |= uint32_t(length - base[s]) << c.length;
    c.length += extra[s] + 5;  // then the distance code 0 (distance 1): five zero bits
    t.match[length] = c;
  }
  return t;
}

constexpr Tables kTables = makeTables();

struct BitWriter {
  std::vector<uint8_t>& out;
  uint64_t pending = 0;
  int count = 0;

  void put(uint32_t bits, int length) {
    pending |= uint64_t(bits) << count;
    count += length;
    if (count >= 32) {
      for (int i = 0; i < 4; ++i) out.push_back(uint8_t(pending >> (8 * i)));
      pending >>= 32;
      count -= 32;
    }
  }
  void flush() {
    while (count > 0) {
      out.push_back(uint8_t(pending));
      pending >>= 8;
      count -= 8;
    }
    count = 0;
  }
};

uint32_t adler32(const uint8_t* data, size_t length) {
  uint32_t a = 1, b = 0;
  while (length > 0) {
    size_t n = length < 5552 ? length : 5552;  // the most bytes before b can overflow
    length -= n;
    while (n--) {
      a += *data++;
      b += a;
    }
    a %= 65521;
    b %= 65521;
  }
  return b << 16 | a;
}

}  // namespace

std::vector<uint8_t> deflateRuns(const uint8_t* data, size_t length) {
  std::vector<uint8_t> out;
  out.reserve(length + length / 8 + 16);
  out.push_back(0x78);  // deflate, 32 KB window
  out.push_back(0x01);  // no dictionary; the header's check bits
  BitWriter w{out};
  w.put(1, 1);  // the last block
  w.put(1, 2);  // fixed codes
  size_t i = 0;
  while (i < length) {
    if (i > 0 && data[i] == data[i - 1]) {
      const uint8_t v = data[i - 1];
      const size_t limit = length - i < 258 ? length : i + 258;
      size_t j = i + 1;
      while (j < limit && data[j] == v) ++j;
      if (j - i >= 3) {
        const Code& c = kTables.match[j - i];
        w.put(c.bits, c.length);
        i = j;
        continue;
      }
    }
    const Code& c = kTables.literal[data[i]];
    w.put(c.bits, c.length);
    ++i;
  }
  w.put(0, 7);  // end of block: symbol 256
  w.flush();
  const uint32_t check = adler32(data, length);
  for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(check >> s));
  return out;
}

}  // namespace unkiln
