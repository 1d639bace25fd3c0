#include "kiln/graphics/bitmap_decode.h"

#include <algorithm>
#include <cstdio>

#include "kiln/graphics/bitmap_format.h"
#include "kiln/graphics/padding.h"
#include "kiln/graphics/rle.h"

namespace kiln {

namespace {

std::string format(const char* fmt, int a, int b = 0, int c = 0) {
  char text[160];
  std::snprintf(text, sizeof text, fmt, a, b, c);
  return text;
}

// Reads the planes into out.values and out.opaque, noting what kiln would
// have written differently.
void readPlanes(const uint8_t* planes, DecodedBitmap& out) {
  const int W = out.width, H = out.height, depth = out.depth;
  const size_t maskRow = maskRowBytes(W);
  const uint8_t* pixels = planes + (out.masked ? maskPlaneBytes(W, H) : 0);
  const uint8_t valueMask = uint8_t((1 << depth) - 1);
  out.values.resize(size_t(W) * H);
  out.opaque.assign(size_t(W) * H, 1);
  const size_t rowBytes = pixelRowBytes(W, depth);
  for (int y = 0; y < H; ++y) {
    const uint8_t* row = pixels + rowBytes * y;
    uint8_t* values = out.values.data() + size_t(y) * W;
    // An 8-bit row is its values as they stand; the bulk of an adventure's
    // pictures are 8-bit.
    if (depth == 8) {
      std::copy(row, row + W, values);
    } else {
      for (int x = 0; x < W; ++x) values[x] = uint8_t(row[x * depth / 8] >> pixelShift(x, depth) & valueMask);
    }
    if (!out.masked) continue;
    const uint8_t* mask = planes + maskRow * y;
    uint8_t* opaque = out.opaque.data() + size_t(y) * W;
    const bool setDraws = maskBitDraws(depth);
    for (int x = 0; x < W; ++x) {
      bool set = (mask[x / 8] & maskBit(x)) != 0;
      opaque[x] = set == setDraws;
      if (!opaque[x] && values[x] != 0 && out.irregular.empty())
        out.irregular = format("transparent pixel %d,%d holds %d; kiln writes 0", x, y, values[x]);
    }
    if (W % 8 != 0 && (mask[maskRow - 1] & (0xFF >> (W % 8))) != 0 && out.irregular.empty())
      out.irregular = format("mask row %d has bits set past its last pixel", y);
  }
}

}  // namespace

bool decodeBitmap(const uint8_t* data, size_t length, DecodedBitmap& out, std::string& error) {
  out = DecodedBitmap{};
  if (length < kBitmapHeaderSize) {
    error = format("a bitmap record needs its 4-byte header; this one has %d bytes", int(length));
    return false;
  }
  out.width = data[kBitmapWidthAt];
  out.height = data[kBitmapHeightAt];
  out.depth = data[kBitmapDepthAt];
  const int flags = data[kBitmapFlagsAt];
  if (!validBitmapDepth(out.depth)) {
    error = format("bits per pixel %d; a bitmap has 2, 4 or 8", out.depth);
    return false;
  }
  if (flags & ~(kBitmapMasked | kBitmapCompressed)) {
    error = format("flags 0x%02X; only masked (1) and compressed (2) are defined", flags);
    return false;
  }
  if (out.width == 0 || out.height == 0 || out.width % 4 != 0) {
    error = format("a bitmap of %dx%d; width and height are 1 to 255, the width a multiple of 4", out.width,
                   out.height);
    return false;
  }
  out.masked = flags & kBitmapMasked;
  out.compressed = flags & kBitmapCompressed;
  const size_t planeBytes =
      (out.masked ? maskPlaneBytes(out.width, out.height) : 0) + pixelPlaneBytes(out.width, out.height, out.depth);
  out.unpackedSize = kBitmapHeaderSize + planeBytes;
  const uint8_t* body = data + kBitmapHeaderSize;
  const size_t bodyLength = length - kBitmapHeaderSize;

  if (!out.compressed) {
    out.storedSize = out.unpackedSize;
    if (bodyLength < planeBytes) {
      error = format("the planes need %d bytes; the record holds %d", int(planeBytes), int(bodyLength));
      return false;
    }
    if (!checkPadding(data, out.storedSize, length, error)) return false;
    readPlanes(body, out);
    if (out.masked && out.irregular.empty()) {
      // A mask that hides nothing is no mask: kiln leaves it out.
      bool any = false;
      for (uint8_t o : out.opaque) any |= o == 0;
      if (!any) out.irregular = "masked, but every pixel is drawn; kiln writes no mask then";
    }
    return true;
  }

  std::vector<uint8_t> planes;
  size_t used = 0;
  if (!unpackRLE(body, bodyLength, planeBytes, planes, used, error)) return false;
  out.storedSize = kBitmapHeaderSize + used;
  if (!checkPadding(data, out.storedSize, length, error)) {
    error = "the run-length stream unpacks to the planes' " + std::to_string(planeBytes) + " bytes, then " + error;
    return false;
  }
  readPlanes(planes.data(), out);
  if (!out.irregular.empty()) return true;
  if (out.masked) {
    out.irregular = "masked and compressed; kiln never compresses a masked bitmap";
    return true;
  }
  ByteBuffer source, target;
  bufferInit(source, planes.data(), planes.size());
  bufferInit(target, nullptr, 0);
  compressRLE(source, target);
  if (target.length != used || !std::equal(body, body + used, target.data))
    out.irregular = "the run-length stream is not the one kiln's compressor writes";
  else if (!compressionPays(used, planeBytes))
    out.irregular = format("compression saves %d bytes; kiln compresses only when it saves 33 or more",
                           int(planeBytes - used));
  return true;
}

std::string bitmapSummary(const std::string& code, const DecodedBitmap& b) {
  char text[120];
  std::snprintf(text, sizeof text, " %dx%d %d-bit%s%s", b.width, b.height, b.depth, b.masked ? " masked" : "",
                b.compressed ? " compressed" : "");
  return code + text;
}

bool describeBitmap(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                    std::string& error) {
  DecodedBitmap b;
  if (!decodeBitmap(data, length, b, error)) return false;
  info.summary = bitmapSummary(code, b);

  static const char kHex[] = "0123456789abcdef";
  Node rows = Node::list();
  for (int y = 0; y < b.height; ++y) {
    std::string row;
    for (int x = 0; x < b.width; ++x) {
      const size_t i = size_t(y) * b.width + x;
      if (!b.opaque[i]) {
        row += b.depth == 8 ? ".." : ".";
        continue;
      }
      if (b.depth == 8) row += kHex[b.values[i] >> 4];
      row += kHex[b.values[i] & 15];
    }
    rows.push(Node::str(row));
  }
  info.fields = Node::object();
  info.fields.add("width", Node::num(b.width))
      .add("height", Node::num(b.height))
      .add("depth", Node::num(b.depth))
      .add("masked", Node::boolean(b.masked))
      .add("compressed", Node::boolean(b.compressed))
      .add("storedSize", Node::num(static_cast<long long>(b.storedSize)))
      .add("unpackedSize", Node::num(static_cast<long long>(b.unpackedSize)))
      .add("pixels", std::move(rows));
  if (!b.irregular.empty()) info.fields.add("irregular", Node::str(b.irregular));
  return true;
}

}  // namespace kiln
