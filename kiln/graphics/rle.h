#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kiln {

// A byte buffer that the compressor reads from or writes to. A reading buffer
// looks at bytes that belong to someone else; a writing buffer owns its bytes.
struct ByteBuffer {
  size_t length = 0;              // bytes to read, or bytes written so far
  const uint8_t* data = nullptr;  // the bytes (for a writing buffer: owned.data())
  size_t capacity = 0;            // equal to length when reading
  size_t position = 0;            // next byte to read; equal to length after a write
  std::vector<uint8_t> owned;     // a writing buffer's storage
};

// Sets a reading buffer over data, or (data null, length 0) an empty writing buffer.
void bufferInit(ByteBuffer& buffer, const uint8_t* data, size_t length);
// Appends one byte; returns the new length. Out of memory ends the run at once.
size_t bufferPutByte(uint8_t value, ByteBuffer& buffer);
// The byte at the position, which then moves on; 0 past the end.
uint8_t bufferGetByte(ByteBuffer& buffer);
bool bufferAtEnd(const ByteBuffer& buffer);
// Releases a writing buffer's bytes and clears every field.
void bufferFree(ByteBuffer& buffer);

// Appends the run-length stream of all of source's bytes to target: literal
// packets (n = 1..127, then n bytes) and run packets (0x80 + n, n = 3..127,
// then the byte). Returns 0.
int compressRLE(ByteBuffer& source, ByteBuffer& target);

// The device's side: unpacks packets from data until exactly `expected` bytes
// are out, and sets `used` to the stream bytes that took. False with the
// reason when the stream ends early or a packet would pass `expected`.
bool unpackRLE(const uint8_t* data, size_t length, size_t expected, std::vector<uint8_t>& out, size_t& used,
               std::string& error);

}  // namespace kiln
