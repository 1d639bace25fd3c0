// The run-length compressor on any bytes: unpacking its stream as the device
// does gives back the input, the stream uses only the control bytes the
// device knows, and it is never longer than the input plus one control byte
// for every 127 bytes.
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "kiln/graphics/rle.h"

namespace {

// The device's unpacker: a control byte below 0x80 copies that many bytes,
// one above repeats the next byte (control - 0x80) times. False when the
// stream is cut short or holds a control byte the compressor never writes.
bool unpack(const std::vector<uint8_t>& stream, std::vector<uint8_t>& out) {
  size_t i = 0;
  while (i < stream.size()) {
    uint8_t n = stream[i++];
    if (n == 0x00 || (n >= 0x80 && n <= 0x82)) return false;
    if (n < 0x80) {
      if (stream.size() - i < n) return false;
      out.insert(out.end(), stream.begin() + long(i), stream.begin() + long(i + n));
      i += n;
    } else {
      if (i == stream.size()) return false;
      out.insert(out.end(), size_t(n - 0x80), stream[i++]);
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kiln;
  ByteBuffer source, target;
  bufferInit(source, data, size);
  bufferInit(target, nullptr, 0);
  compressRLE(source, target);
  std::vector<uint8_t> stream(target.data, target.data + target.length);
  bufferFree(target);

  std::vector<uint8_t> unpacked;
  if (!unpack(stream, unpacked)) fuzz::propertyFailed("the stream does not unpack");
  if (unpacked != std::vector<uint8_t>(data, data + size)) fuzz::propertyFailed("unpacking gives other bytes");
  if (stream.size() > size + (size + 126) / 127) fuzz::propertyFailed("the stream is longer than allowed");
  return 0;
}
