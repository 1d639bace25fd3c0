#include "kiln/graphics/image.h"

#include <algorithm>
#include <cstring>

// PNG through stb_image (Debian's libstb-dev), the same decoder on every
// platform, so Linux and Windows builds give the same bytes. Only its PNG
// reader is compiled, from memory, without gamma or colour-profile handling:
// pixels are taken as stored.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS (1 << 16)
#include "stb_image.h"

namespace kiln {

namespace {
const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
}

ImageKind imageKind(const std::vector<uint8_t>& file) {
  if (file.size() >= 8 && std::memcmp(file.data(), kPngSignature, 8) == 0) return ImageKind::png;
  if (file.size() >= 2 && file[0] == 'B' && file[1] == 'M') return ImageKind::bmp;
  return ImageKind::other;
}

std::string readImageHeader(const std::vector<uint8_t>& file, ImageHeader& header) {
  header = ImageHeader{};
  header.kind = imageKind(file);
  switch (header.kind) {
    case ImageKind::bmp:
      return readBmpHeader(file, header);
    case ImageKind::png:
      return readPngHeader(file, header);
    default:
      return "ERROR: input file is not a .bmp format\n";
  }
}

std::string decodeImage(const std::vector<uint8_t>& file, const ImageHeader& header, Picture& picture,
                        bool everySlot) {
  picture = Picture{};
  // The pixel plane is allocated before the pixels are read: no header may
  // ask for more than a picture a kit could ever store.
  if (header.width <= 0 || header.height <= 0 || header.width > 0xFFFF || header.height > 0xFFFF ||
      header.width * header.height > (1 << 24))
    return "ERROR: the picture's width or height is out of range\n";
  if (header.kind == ImageKind::png) return decodePng(file, picture, everySlot);
  return decodeBmp(file, header, picture);
}

void keepUsedSlots(Picture& picture) {
  if (!picture.everySlot) return;
  picture.everySlot = false;
  if (picture.indices.empty()) return;
  // Four tables, so that a run of one slot does not queue on one store.
  bool seen[4][256] = {};
  const uint8_t* px = picture.indices.data();
  const size_t n = picture.indices.size();
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    seen[0][px[i]] = true;
    seen[1][px[i + 1]] = true;
    seen[2][px[i + 2]] = true;
    seen[3][px[i + 3]] = true;
  }
  for (; i < n; ++i) seen[0][px[i]] = true;
  const uint32_t first = picture.colours[px[0]];
  for (size_t v = 0; v < picture.colours.size(); ++v)
    if (!(seen[0][v] || seen[1][v] || seen[2][v] || seen[3][v])) picture.colours[v] = first;
}

uint8_t scaleField(uint32_t value, int bits) {
  if (bits <= 0) return 0;
  const uint64_t top = (uint64_t(1) << bits) - 1;
  return uint8_t((uint64_t(value) * 255 + top / 2) / top);
}

namespace {
std::string pngFault(const char* what) {
  const char* reason = stbi_failure_reason();
  return std::string("ERROR: ") + what + ": " + (reason ? reason : "unknown fault") + "\n";
}
}  // namespace

std::string readPngHeader(const std::vector<uint8_t>& file, ImageHeader& header) {
  // Every chunk must lie within the file: stb_image allocates room for a
  // chunk by its stated length before reading it.
  for (size_t at = 8; at < file.size();) {
    if (file.size() - at < 12) return "ERROR: unreadable .png file: a chunk runs past the end of the file\n";
    const uint64_t length = uint64_t(file[at]) << 24 | uint64_t(file[at + 1]) << 16 | file[at + 2] << 8 | file[at + 3];
    if (length > file.size() - at - 12) return "ERROR: unreadable .png file: a chunk runs past the end of the file\n";
    if (std::memcmp(file.data() + at + 4, "IEND", 4) == 0) break;
    at += 12 + size_t(length);
  }
  if (readPngHeaderFast(file, header)) return "";
  int w = 0, h = 0, channels = 0;
  if (file.size() > 0x7FFFFFFF ||
      !stbi_info_from_memory(file.data(), int(file.size()), &w, &h, &channels))
    return pngFault("unreadable .png file");
  header.width = w;
  header.height = h;
  header.bitsPerPixel = 32;
  return "";
}

std::string decodePng(const std::vector<uint8_t>& file, Picture& picture, bool everySlot) {
  switch (decodePngFast(file, picture, everySlot)) {
    case FastPng::decoded:
      return "";
    case FastPng::badIndex:
      picture = Picture{};
      return "ERROR: unreadable .png file: a pixel's colour index lies past the palette\n";
    default:
      return decodePngStb(file, picture);
  }
}

std::string decodePngStb(const std::vector<uint8_t>& file, Picture& picture) {
  picture = Picture{};
  int w = 0, h = 0, channels = 0;
  const int size = int(file.size());
  // Every colour type and depth comes out as red, green, blue, alpha, palette
  // transparency (tRNS) included. 16-bit samples are read as they are and
  // scaled like any field, so that a partly transparent pixel stays partly
  // transparent instead of being rounded to clear or solid.
  const bool wide = stbi_is_16_bit_from_memory(file.data(), size);
  void* rgba = wide ? static_cast<void*>(stbi_load_16_from_memory(file.data(), size, &w, &h, &channels, 4))
                    : static_cast<void*>(stbi_load_from_memory(file.data(), size, &w, &h, &channels, 4));
  if (!rgba) return pngFault("unreadable .png file");
  picture.width = w;
  picture.height = h;
  picture.bitsPerPixel = 32;
  picture.pixels.resize(size_t(w) * size_t(h));
  if (wide) {
    const stbi_us* p = static_cast<const stbi_us*>(rgba);
    for (uint32_t& pixel : picture.pixels) {
      const uint32_t a = p[3] == 0 ? 0 : p[3] == 0xFFFF ? 255 : std::clamp<uint32_t>(scaleField(p[3], 16), 1, 254);
      pixel = a << 24 | uint32_t(scaleField(p[0], 16)) << 16 | uint32_t(scaleField(p[1], 16)) << 8 |
              scaleField(p[2], 16);
      p += 4;
    }
  } else {
    const stbi_uc* p = static_cast<const stbi_uc*>(rgba);
    for (uint32_t& pixel : picture.pixels) {
      pixel = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
      p += 4;
    }
  }
  stbi_image_free(rgba);
  indexColours(picture);
  return "";
}

ColourIndexer::ColourIndexer(std::vector<uint32_t>& colours) : colours_(colours), slots_(512), mask_(511) {
  colours_.clear();
}

uint32_t ColourIndexer::insert(uint32_t colour, size_t h) {
  const uint32_t index = uint32_t(colours_.size());
  colours_.push_back(colour);
  slots_[h] = Slot{colour, index};
  if (2 * colours_.size() > slots_.size()) {
    slots_.assign(2 * slots_.size(), Slot{});
    mask_ = slots_.size() - 1;
    for (uint32_t i = 0; i < colours_.size(); ++i) {
      size_t k = hash(colours_[i]);
      while (slots_[k].index != kEmpty) k = (k + 1) & mask_;
      slots_[k] = Slot{colours_[i], i};
    }
  }
  return index;
}

void indexColours(Picture& picture) {
  // Runs of one colour skip the look-up.
  ColourIndexer indexer(picture.colours);
  uint32_t lastColour = 0, lastIndex = UINT32_MAX;
  for (uint32_t& pixel : picture.pixels) {
    if (pixel != lastColour || lastIndex == UINT32_MAX) {
      lastColour = pixel;
      lastIndex = indexer.index(pixel);
    }
    pixel = lastIndex;
  }
}

}  // namespace kiln
