#pragma once
// The bitmap record, shared by the converter that writes it and the decoder
// that reads it back: a 4-byte header (width, height, bits per pixel, flags),
// then a mask plane and a pixel plane, or a run-length stream of the pixel plane.

#include <cstddef>
#include <cstdint>

namespace kiln {

constexpr size_t kBitmapHeaderSize = 4;
constexpr size_t kBitmapWidthAt = 0, kBitmapHeightAt = 1, kBitmapDepthAt = 2, kBitmapFlagsAt = 3;
constexpr uint8_t kBitmapMasked = 1;      // a mask plane precedes the pixels
constexpr uint8_t kBitmapCompressed = 2;  // the planes are a run-length stream

// The BMP colour entry (blue in the low byte, reserved in the high one) that
// draws nothing: pure red with a reserved byte of 0.
constexpr uint32_t kTransparentEntry = 0x00FF0000;

inline bool validBitmapDepth(int depth) { return depth == 2 || depth == 4 || depth == 8; }

inline size_t maskRowBytes(int width) { return size_t(width + 7) / 8; }
inline size_t maskPlaneBytes(int width, int height) { return maskRowBytes(width) * size_t(height); }
// Width is a multiple of 4, so every pixel row ends on a byte.
inline size_t pixelRowBytes(int width, int depth) { return size_t(width) * size_t(depth) / 8; }
inline size_t pixelPlaneBytes(int width, int height, int depth) {
  return pixelRowBytes(width, depth) * size_t(height);
}

// Pixel x's bit in its mask byte (x / 8 of the row): leftmost pixel highest.
inline uint8_t maskBit(int x) { return uint8_t(0x80 >> (x & 7)); }
// At 8 bits a set mask bit draws the pixel; at 2 and 4 bits it hides it.
inline bool maskBitDraws(int depth) { return depth == 8; }
// Where pixel x's value sits in its pixel byte (x * depth / 8 of the row).
inline int pixelShift(int x, int depth) { return 8 - depth * (x % (8 / depth) + 1); }

// The gray level of a gray colour at 2 or 4 bits, from its blue component:
// white 0 up to black 3 or 15.
inline int grayLevel(int blue, int depth) {
  if (depth == 2) return blue > 240 ? 0 : blue > 140 ? 1 : blue > 40 ? 2 : 3;
  return 15 - blue / 16;
}

// A stream is kept only when it saves at least 33 bytes over the planes.
inline bool compressionPays(size_t streamBytes, size_t planeBytes) { return streamBytes + 32 < planeBytes; }

}  // namespace kiln
