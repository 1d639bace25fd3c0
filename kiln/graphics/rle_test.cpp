#include "kiln/graphics/rle.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kiln/graphics/graphics_test_support.h"

namespace kiln {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes compress(const Bytes& in) {
  ByteBuffer source, target;
  bufferInit(source, in.data(), in.size());
  bufferInit(target, nullptr, 0);
  EXPECT_EQ(compressRLE(source, target), 0);
  Bytes out(target.data, target.data + target.length);
  bufferFree(target);
  return out;
}

// Every stream must unpack to its source on the device and use only the
// control bytes the device knows.
void expectRoundTrip(const Bytes& in, const Bytes& packed) {
  Bytes out;
  ASSERT_TRUE(testing::unpackRLE(packed, 0, out));
  EXPECT_EQ(out, in);
  // The decoder's unpacker stops at the planes' size and says how much it read.
  Bytes decoded;
  size_t used = 0;
  std::string error;
  ASSERT_TRUE(unpackRLE(packed.data(), packed.size(), in.size(), decoded, used, error)) << error;
  EXPECT_EQ(decoded, in);
  EXPECT_EQ(used, packed.size());
  for (size_t i = 0; i < packed.size();) {
    uint8_t n = packed[i];
    EXPECT_TRUE((n >= 0x01 && n <= 0x7F) || n >= 0x83) << "control byte " << int(n) << " at " << i;
    i += n < 0x80 ? 1 + n : 2;
  }
}

Bytes repeat(size_t n, uint8_t v) { return Bytes(n, v); }
Bytes distinct(size_t n) {
  Bytes b;
  for (size_t i = 0; i < n; ++i) b.push_back(uint8_t(i));
  return b;
}
Bytes cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(CompressRLE, DocumentedExamples) {
  struct Case {
    Bytes in, out;
  } cases[] = {
      {{}, {}},
      {{0x41, 0x41, 0x41, 0x42}, {0x83, 0x41, 0x01, 0x42}},
      {{0x41, 0x42, 0x43}, {0x03, 0x41, 0x42, 0x43}},
      {{0x41, 0x41}, {0x02, 0x41, 0x41}},
      {repeat(5, 0), {0x85, 0x00}},
      {repeat(128, 7), {0xFF, 7, 0x01, 7}},
      {repeat(129, 7), {0xFF, 7, 0x02, 7, 7}},
      {repeat(130, 7), {0xFF, 7, 0x83, 7}},
      {{0x41, 0x42, 0x42, 0x42, 0x42, 0x43}, {0x01, 0x41, 0x84, 0x42, 0x01, 0x43}},
      {distinct(127), cat({0x7F}, distinct(127))},
      {distinct(128), cat(cat({0x7F}, distinct(127)), {0x01, 127})},
      // The full literal packet goes out with the 127th byte, so two more
      // copies of it start a new literal list rather than a run.
      {cat(distinct(127), {126, 126}), cat(cat({0x7F}, distinct(127)), {0x02, 126, 126})},
  };
  for (const Case& c : cases) {
    Bytes got = compress(c.in);
    EXPECT_EQ(got, c.out) << "input of " << c.in.size() << " bytes";
    expectRoundTrip(c.in, got);
  }
}

TEST(CompressRLE, LiteralsBeforeARunKeepTheirOrder) {
  // 1 2 3 3 3 3 4: the pending 1 2 go out before the run of 3s.
  EXPECT_EQ(compress({1, 2, 3, 3, 3, 3, 4}), (Bytes{0x02, 1, 2, 0x84, 3, 0x01, 4}));
  // A run ending at 127 with literals pending.
  Bytes in = cat({9, 8}, repeat(127, 5));
  EXPECT_EQ(compress(in), (Bytes{0x02, 9, 8, 0xFF, 5}));
}

TEST(CompressRLE, MixedDataUnpacksToItsSource) {
  uint32_t seed = 12345;
  for (int trial = 0; trial < 200; ++trial) {
    Bytes in;
    size_t len = trial * 7;
    while (in.size() < len) {
      seed = seed * 1103515245 + 12345;
      uint8_t v = uint8_t(seed >> 16) % 4;  // few values: many short and long runs
      size_t runLength = (seed >> 24) % 5 == 0 ? (seed >> 8) % 300 : 1;
      in.insert(in.end(), runLength, v);
    }
    expectRoundTrip(in, compress(in));
  }
}

TEST(ByteBuffer, ReadsAndWrites) {
  const uint8_t bytes[] = {5, 6};
  ByteBuffer r;
  bufferInit(r, bytes, 2);
  EXPECT_EQ(r.length, 2u);
  EXPECT_EQ(r.capacity, 2u);
  EXPECT_FALSE(bufferAtEnd(r));
  EXPECT_EQ(bufferGetByte(r), 5);
  EXPECT_EQ(bufferGetByte(r), 6);
  EXPECT_TRUE(bufferAtEnd(r));
  EXPECT_EQ(bufferGetByte(r), 0);  // past the end: nothing read
  EXPECT_EQ(r.position, 2u);

  ByteBuffer w;
  bufferInit(w, nullptr, 0);
  for (int i = 0; i < 300; ++i) EXPECT_EQ(bufferPutByte(uint8_t(i), w), size_t(i + 1));
  EXPECT_EQ(w.position, 300u);
  EXPECT_GE(w.capacity, 300u);
  EXPECT_EQ(w.data[299], uint8_t(299));
  bufferFree(w);
  EXPECT_EQ(w.length, 0u);
  EXPECT_EQ(w.data, nullptr);
  EXPECT_EQ(w.capacity, 0u);
  EXPECT_EQ(w.position, 0u);
}

}  // namespace
}  // namespace kiln
