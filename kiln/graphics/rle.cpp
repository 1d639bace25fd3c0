#include "kiln/graphics/rle.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "common/exit.h"

namespace kiln {

void bufferInit(ByteBuffer& buffer, const uint8_t* data, size_t length) {
  buffer.owned.clear();
  buffer.length = length;
  buffer.data = data;
  buffer.capacity = length;
  buffer.position = 0;
}

size_t bufferPutByte(uint8_t value, ByteBuffer& buffer) {
  try {
    buffer.owned.push_back(value);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "ERROR: realloc failed!\n");
    throw kit::Exit{1, false};
  }
  buffer.data = buffer.owned.data();
  buffer.capacity = buffer.owned.capacity();
  buffer.length = buffer.owned.size();
  buffer.position = buffer.length;
  return buffer.length;
}

uint8_t bufferGetByte(ByteBuffer& buffer) {
  if (buffer.position >= buffer.length) return 0;
  return buffer.data[buffer.position++];
}

bool bufferAtEnd(const ByteBuffer& buffer) { return buffer.position >= buffer.length; }

void bufferFree(ByteBuffer& buffer) {
  buffer.owned.clear();
  buffer.owned.shrink_to_fit();
  buffer.length = 0;
  buffer.data = nullptr;
  buffer.capacity = 0;
  buffer.position = 0;
}

namespace {

// Makes room for `more` bytes after the writing buffer's length and returns
// where they go. The packer writes straight into that room rather than a byte
// at a time through bufferPutByte: the stream is the same, at a fraction of
// the cost.
uint8_t* reserveRoom(ByteBuffer& buffer, size_t more) {
  try {
    buffer.owned.resize(buffer.length + more);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "ERROR: realloc failed!\n");
    throw kit::Exit{1, false};
  }
  return buffer.owned.data() + buffer.length;
}

// The first p from `from` (before stop) where p[-2], p[-1] and p[0] are
// equal, or stop. The bytes before `from` must be readable back to from - 2.
// Eight positions are tested at a time while no such p is among them.
const uint8_t* nextTriple(const uint8_t* from, const uint8_t* stop) {
  const uint8_t* p = from;
  constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
  while (stop - p >= 8) {
    uint64_t a, b, c;
    std::memcpy(&a, p, 8);
    std::memcpy(&b, p - 1, 8);
    std::memcpy(&c, p - 2, 8);
    uint64_t differ = (a ^ b) | (a ^ c);  // a zero byte marks a triple
    if (((differ - ones) & ~differ & highs) != 0) break;
    p += 8;
  }
  while (p < stop && !(p[0] == p[-1] && p[0] == p[-2])) ++p;
  return p;
}

}  // namespace

int compressRLE(ByteBuffer& source, ByteBuffer& target) {
  const uint8_t* in = source.data + source.position;
  const uint8_t* const end = source.data + source.length;
  // A literal packet adds one control byte for up to 127 bytes, a short one is
  // always followed by a run that saves at least one, and a run never grows:
  // the stream is at most n + n / 127 + 2 bytes long.
  size_t n = size_t(end - in);
  uint8_t* const start = reserveRoom(target, n + n / 127 + 2);
  uint8_t* out = start;

  // The pending literals are the last `literals` source bytes before the
  // current one (or before the open run), so they are copied from the source
  // when their packet is written.
  const uint8_t* literalStart = in;
  int literals = 0;
  int run = 0;
  uint8_t runByte = 0;
  auto flushLiterals = [&] {
    if (literals == 0) return;
    *out++ = uint8_t(literals);
    std::memcpy(out, literalStart, size_t(literals));
    out += literals;
    literals = 0;
  };
  auto flushRun = [&] {
    *out++ = uint8_t(0x80 + run);
    *out++ = runByte;
    run = 0;
  };

  while (in < end) {
    if (run > 0) {
      // Equal bytes extend the run, up to 127.
      const uint8_t* stop = in + std::min<ptrdiff_t>(end - in, 127 - run);
      const uint8_t* p = in;
      while (p < stop && *p == runByte) ++p;
      run += int(p - in);
      in = p;
      if (run == 127) {
        flushLiterals();
        flushRun();
      } else if (in < end) {
        // A different byte ends the run and is the first of the next literals.
        flushLiterals();
        flushRun();
        literalStart = in++;
        literals = 1;
      }
      continue;
    }
    if (literals < 2) {
      if (literals == 0) literalStart = in;
      ++literals;
      ++in;
      continue;
    }
    // Bytes are literals until one is the third of three equal bytes (the
    // two before it pending literals), or until 127 are pending.
    const uint8_t* stop = in + std::min<ptrdiff_t>(end - in, 127 - literals);
    const uint8_t* p = nextTriple(in, stop);
    literals += int(p - in);
    in = p;
    if (literals == 127) {
      flushLiterals();
    } else if (in < end) {
      // Three equal bytes make a run; the literals before them stay pending.
      runByte = *in++;
      run = 3;
      literals -= 2;
    }
  }
  flushLiterals();
  if (run > 0) flushRun();

  source.position = source.length;
  target.length += size_t(out - start);
  target.owned.resize(target.length);
  target.data = target.owned.data();
  target.capacity = target.owned.capacity();
  target.position = target.length;
  return 0;
}

bool unpackRLE(const uint8_t* data, size_t length, size_t expected, std::vector<uint8_t>& out, size_t& used,
               std::string& error) {
  out.clear();
  out.reserve(expected);
  size_t i = 0;
  char text[120];
  while (out.size() < expected) {
    if (i >= length) {
      std::snprintf(text, sizeof text, "the run-length stream ends after %zu of %zu bytes", out.size(), expected);
      error = text;
      return false;
    }
    const size_t at = i;
    const uint8_t n = data[i++];
    const size_t count = n < 0x80 ? n : size_t(n - 0x80);
    if (count > expected - out.size()) {
      std::snprintf(text, sizeof text, "the run-length packet at byte %zu unpacks past the %zu bytes of the planes",
                    at, expected);
      error = text;
      return false;
    }
    if (n < 0x80) {
      if (count > length - i) {
        std::snprintf(text, sizeof text, "the literal packet at byte %zu runs past the end of the record", at);
        error = text;
        return false;
      }
      out.insert(out.end(), data + i, data + i + count);
      i += count;
    } else {
      if (i >= length) {
        std::snprintf(text, sizeof text, "the run packet at byte %zu has no byte to repeat", at);
        error = text;
        return false;
      }
      out.insert(out.end(), count, data[i++]);
    }
  }
  used = i;
  return true;
}

}  // namespace kiln
