#include "unkiln/preview_deflate.h"

#include <algorithm>
#include <atomic>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <thread>

#include "common/quiet_thread.h"

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

// The blocks of data into out (room for length + length / 8 + 16 bytes),
// from a byte's start; returns the end. A last part ends the stream. Any
// other ends on a byte, after an empty stored block, so that the next part's
// blocks may follow it as they are.
uint8_t* deflateBlocks(const uint8_t* data, size_t length, bool lastPart, uint8_t* out) {
  BitWriter w{out};
  w.put(lastPart ? 1 : 0, 1);  // the last block or not
  w.put(1, 2);                 // fixed codes
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
  if (!lastPart) {
    w.put(0, 3);  // a stored block, not the last,
    w.flush();    // from the next byte,
    const uint8_t empty[4] = {0x00, 0x00, 0xFF, 0xFF};  // of no bytes
    std::memcpy(w.out, empty, 4);
    w.out += 4;
  }
  w.flush();
  return w.out;
}

// The Adler-32 of two pieces end to end, from the check of each and the
// second's length: the second's sums each gain what the first brought.
uint32_t adler32Joined(uint32_t first, uint32_t second, size_t secondLength) {
  constexpr uint64_t kBase = 65521;
  const uint64_t n = secondLength % kBase;
  const uint64_t a1 = first & 0xFFFF, b1 = first >> 16, a2 = second & 0xFFFF, b2 = second >> 16;
  // a = a1 + a2 - 1; b = b1 + b2 + n * (a1 - 1), all modulo the base.
  const uint64_t a = (a1 + a2 + kBase - 1) % kBase;
  const uint64_t b = (b1 + b2 + n * ((a1 + kBase - 1) % kBase)) % kBase;
  return uint32_t(b << 16 | a);
}

// A sheet of thousands of pictures is megabytes of rows: they are coded in
// parts of this size, side by side on the processors there are. The parts
// depend on the length alone, so the bytes are the same on any machine.
constexpr size_t kPart = size_t(1) << 20;

}  // namespace

std::vector<uint8_t> deflateFast(const uint8_t* data, size_t length) {
  const size_t parts = length <= kPart ? 1 : (length + kPart - 1) / kPart;
  std::vector<std::vector<uint8_t>> coded(parts);
  std::vector<uint32_t> checks(parts);
  std::atomic<size_t> next{0};
  const auto codeParts = [&] {
    for (size_t k; (k = next++) < parts;) {
      const size_t from = k * kPart, n = std::min(length - from, parts == 1 ? length : kPart);
      std::vector<uint8_t>& out = coded[k];
      const size_t head = k == 0 ? 2 : 0;
      out.resize(head + n + n / 8 + 16);
      if (k == 0) {
        out[0] = 0x78;  // deflate, 32 KB window
        out[1] = 0x01;  // no dictionary; the header's check bits
      }
      out.resize(size_t(deflateBlocks(data + from, n, k + 1 == parts, out.data() + head) - out.data()));
      checks[k] = adler32(data + from, n);
    }
  };
  std::vector<std::thread> helpers;
  std::atomic<bool> outOfMemory{false};
  const size_t processors = kit::usableProcessors();
  for (size_t h = 1; h < parts && h < processors; ++h) {
    std::thread t = kit::startQuietThread([&] {
      try {
        codeParts();
      } catch (const std::bad_alloc&) {
        outOfMemory = true;
      }
    });
    if (!t.joinable()) break;
    helpers.push_back(std::move(t));
  }
  try {
    codeParts();
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
  }
  for (std::thread& t : helpers) t.join();
  if (outOfMemory) throw std::bad_alloc();  // as for a stream made in one piece

  size_t total = 4;
  for (const std::vector<uint8_t>& part : coded) total += part.size();
  std::vector<uint8_t> out = std::move(coded[0]);
  out.reserve(total);
  uint32_t check = checks[0];
  for (size_t k = 1; k < parts; ++k) {
    out.insert(out.end(), coded[k].begin(), coded[k].end());
    check = adler32Joined(check, checks[k], std::min(kPart, length - k * kPart));
    std::vector<uint8_t>().swap(coded[k]);
  }
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
