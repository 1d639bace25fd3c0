#pragma once
// Reads bitmap records (B2 B4 B8 T2 T4 T8) back: the pixels as the device
// draws them, and a picture that kiln compiles into the same record.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kiln/graphics/graphics_state.h"
#include "kiln/pdb/record_info.h"

namespace kiln {

struct DecodedBitmap {
  int width = 0, height = 0, depth = 0;  // depth 2, 4 or 8
  bool masked = false, compressed = false;
  size_t storedSize = 0, unpackedSize = 0;  // payload as stored / uncompressed (header included)
  std::vector<uint8_t> values;  // width*height, top row first: gray level (2/4) or palette slot (8)
  std::vector<uint8_t> opaque;  // width*height, 1 drawn / 0 transparent
  // Why kiln would not write these bytes, though the device draws them (a
  // transparent pixel's value not 0, mask bits past a row's end, a stream
  // that is not the compressor's); empty when it would.
  std::string irregular;
};

// Decodes the payload after the record's code (its padding included). False
// with a one-line reason when the record is damaged: shorter than its planes,
// a stream that does not unpack to exactly the planes, non-zero padding.
bool decodeBitmap(const uint8_t* data, size_t length, DecodedBitmap& out, std::string& error);

// The one-line summary: "B8 64x64 8-bit masked", "T4 32x32 4-bit compressed".
std::string bitmapSummary(const std::string& code, const DecodedBitmap& bitmap);

// Summary and fields: the header, the sizes, and
// the picture as rows of hex digits, one (2/4 bits) or two (8 bits) a pixel,
// dots for transparent pixels.
bool describeBitmap(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                    std::string& error);

// An image file (BMP) that kiln compiles back into exactly this record at its
// depth (8-bit through the given active palette), and the compress flag (third
// list field) it needs. False with a reason when no picture can give this record.
bool bitmapSource(const DecodedBitmap& bitmap, const Palette* palette, std::vector<uint8_t>& file, int& compressFlag,
                  std::string& why);

}  // namespace kiln
