#include "kiln/graphics/rle.h"

#include <cstdio>
#include <cstring>
#include <new>

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

  for (; in < end; ++in) {
    uint8_t b = *in;
    if (run == 0) {
      // Three equal bytes make a run; the literals before them stay pending.
      if (literals >= 2 && in[-1] == b && in[-2] == b) {
        runByte = b;
        run = 3;
        literals -= 2;
      } else {
        if (literals == 0) literalStart = in;
        if (++literals == 127) flushLiterals();
      }
    } else if (b != runByte) {
      flushLiterals();
      flushRun();
      literalStart = in;
      literals = 1;
    } else if (++run == 127) {
      flushLiterals();
      flushRun();
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

}  // namespace kiln
