#include "kiln/graphics/rle.h"

#include <cstdio>
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

struct Packer {
  ByteBuffer& out;
  uint8_t literals[127] = {};
  int literalCount = 0;
  int runCount = 0;
  uint8_t runByte = 0;

  void flushLiterals() {
    if (literalCount == 0) return;
    bufferPutByte(uint8_t(literalCount), out);
    for (int i = 0; i < literalCount; ++i) bufferPutByte(literals[i], out);
    literalCount = 0;
  }
  void flushRun() {
    bufferPutByte(uint8_t(0x80 + runCount), out);
    bufferPutByte(runByte, out);
    runCount = 0;
  }
};

}  // namespace

int compressRLE(ByteBuffer& source, ByteBuffer& target) {
  Packer p{target};
  while (!bufferAtEnd(source)) {
    uint8_t b = bufferGetByte(source);
    if (p.runCount == 0) {
      // Three equal bytes make a run; the literals before them stay pending.
      if (p.literalCount >= 2 && p.literals[p.literalCount - 1] == b && p.literals[p.literalCount - 2] == b) {
        p.runByte = b;
        p.runCount = 3;
        p.literalCount -= 2;
      } else {
        p.literals[p.literalCount++] = b;
        if (p.literalCount == 127) p.flushLiterals();
      }
    } else if (b != p.runByte) {
      p.flushLiterals();
      p.flushRun();
      p.literals[p.literalCount++] = b;
    } else if (++p.runCount == 127) {
      p.flushLiterals();
      p.flushRun();
    }
  }
  p.flushLiterals();
  if (p.runCount > 0) p.flushRun();
  return 0;
}

}  // namespace kiln
