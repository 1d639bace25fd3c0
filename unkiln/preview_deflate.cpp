#include "unkiln/preview_deflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

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
  std::array<Code, 259> length{};  // match lengths 3 to 258: symbol and extra bits
  std::array<uint32_t, 30> distanceCode{};  // the five bits of each distance code, in stream order
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
    c.length += extra[s];
    t.length[length] = c;
  }
  for (uint32_t d = 0; d < 30; ++d) t.distanceCode[d] = reversed(d, 5);
  return t;
}

constexpr Tables kTables = makeTables();

// Writes into room made ahead: no code takes more bits than the literals it
// stands for, at most 9 a byte, so the caller sizes the buffer once.
struct BitWriter {
  uint8_t* out;
  uint64_t pending = 0;
  int count = 0;

  void put(uint32_t bits, int length) {
    pending |= uint64_t(bits) << count;
    count += length;
    if (count >= 32) {
      const uint8_t b[4] = {uint8_t(pending), uint8_t(pending >> 8), uint8_t(pending >> 16), uint8_t(pending >> 24)};
      std::memcpy(out, b, 4);
      out += 4;
      pending >>= 32;
      count -= 32;
    }
  }
  void flush() {
    for (; count > 0; count -= 8, pending >>= 8) *out++ = uint8_t(pending);
    count = 0;
  }
};

// A match: its length code, then its distance (1 to 32768) as code and extra bits.
void putMatch(BitWriter& w, size_t length, size_t distance) {
  const Code& c = kTables.length[length];
  w.put(c.bits, c.length);
  const uint32_t d = uint32_t(distance - 1);
  if (d < 4) {
    w.put(kTables.distanceCode[d], 5);
    return;
  }
  // Codes 4 and up come in pairs per power of two, with width - 2 extra bits.
  const int width = std::bit_width(d);
  const int extraBits = width - 2;
  const uint32_t code = uint32_t(2 * (width - 1)) + ((d >> extraBits) & 1u);
  w.put(kTables.distanceCode[code], 5);
  w.put(d & ((1u << extraBits) - 1), extraBits);
}

uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

uint32_t adler32(const uint8_t* data, size_t length) {
  uint32_t a = 1, b = 0;
  while (length > 0) {
    size_t n = length < 5552 ? length : 5552;  // the most bytes before b can overflow
    length -= n;
    // Sixteen bytes a step: b gains 16 a and each byte weighted by the sums
    // it enters, so the bytes of a step add up side by side rather than one
    // after the other.
    for (; n >= 16; n -= 16, data += 16) {
      uint32_t sum = 0, weighted = 0;
      for (uint32_t k = 0; k < 16; ++k) {
        sum += data[k];
        weighted += (16 - k) * data[k];
      }
      b += 16 * a + weighted;
      a += sum;
    }
    while (n--) {
      a += *data++;
      b += a;
    }
    a %= 65521;
    b %= 65521;
  }
  return b << 16 | a;
}

constexpr int kHashBits = 13;
constexpr size_t kWindow = 32768;

}  // namespace

std::vector<uint8_t> deflateFast(const uint8_t* data, size_t length) {
  std::vector<uint8_t> out(2 + length + length / 8 + 16);
  out[0] = 0x78;  // deflate, 32 KB window
  out[1] = 0x01;  // no dictionary; the header's check bits
  BitWriter w{out.data() + 2};
  w.put(1, 1);  // the last block
  w.put(1, 2);  // fixed codes
  // Where each 4-byte value was last seen, plus one (0: never), by hash.
  std::vector<uint32_t> last(size_t(1) << kHashBits, 0);
  size_t i = 0, misses = 0;
  while (i + 4 <= length) {
    const uint32_t v = load32(data + i);
    const uint32_t h = (v * 2654435761u) >> (32 - kHashBits);
    const size_t seen = last[h];
    last[h] = uint32_t(i + 1);
    if (seen && i + 1 - seen <= kWindow && load32(data + seen - 1) == v) {
      const uint8_t* from = data + seen - 1;
      const size_t limit = length - i < 258 ? length - i : 258;
      size_t n = 4;
      while (n + 8 <= limit) {
        uint64_t a, b;
        std::memcpy(&a, data + i + n, 8);
        std::memcpy(&b, from + n, 8);
        if (a != b) break;
        n += 8;
      }
      while (n < limit && data[i + n] == from[n]) ++n;
      putMatch(w, n, i + 1 - seen);
      i += n;
      misses = 0;
      continue;
    }
    // Noise finds no matches: after many misses in a row, only every second,
    // third... position is looked up, the others written as they are.
    const size_t step = std::min<size_t>(1 + (++misses >> 5), length - i);
    for (size_t k = 0; k < step; ++k, ++i) w.put(kTables.literal[data[i]].bits, kTables.literal[data[i]].length);
  }
  for (; i < length; ++i) w.put(kTables.literal[data[i]].bits, kTables.literal[data[i]].length);
  w.put(0, 7);  // end of block: symbol 256
  w.flush();
  out.resize(size_t(w.out - out.data()));
  const uint32_t check = adler32(data, length);
  for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(check >> s));
  return out;
}

namespace {
// Slicing by 8: table k gives the CRC of a byte followed by k zero bytes.
struct CrcTables {
  uint32_t t[8][256] = {};
};
constexpr CrcTables makeCrcTables() {
  CrcTables c;
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t v = n;
    for (int k = 0; k < 8; ++k) v = v & 1 ? 0xEDB88320u ^ (v >> 1) : v >> 1;
    c.t[0][n] = v;
  }
  for (int k = 1; k < 8; ++k)
    for (int n = 0; n < 256; ++n) c.t[k][n] = (c.t[k - 1][n] >> 8) ^ c.t[0][c.t[k - 1][n] & 0xFF];
  return c;
}
constexpr CrcTables kCrc = makeCrcTables();
}  // namespace

uint32_t crc32(const uint8_t* data, size_t length) {
  uint32_t crc = ~0u;
  for (; length >= 8; length -= 8, data += 8) {
    const uint32_t lo = crc ^ (uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                               uint32_t(data[3]) << 24);
    crc = kCrc.t[7][lo & 0xFF] ^ kCrc.t[6][(lo >> 8) & 0xFF] ^ kCrc.t[5][(lo >> 16) & 0xFF] ^ kCrc.t[4][lo >> 24] ^
          kCrc.t[3][data[4]] ^ kCrc.t[2][data[5]] ^ kCrc.t[1][data[6]] ^ kCrc.t[0][data[7]];
  }
  while (length--) crc = (crc >> 8) ^ kCrc.t[0][(crc ^ *data++) & 0xFF];
  return ~crc;
}

}  // namespace unkiln
