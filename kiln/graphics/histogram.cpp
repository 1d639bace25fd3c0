#include "kiln/graphics/histogram.h"

#include <algorithm>
#include <cstdio>

#include "common/exit.h"
#include "common/output_file.h"

namespace kiln {

namespace {
constexpr const char* kHistogramName = "histogram.txt";

[[noreturn]] void failHistogram() {
  std::perror("ERROR: Could not open histogram file");
  kit::fail(1);
}

[[noreturn]] void failHistogramWrite() {
  kit::reportWriteFailure(kHistogramName);
  kit::fail(1);
}

void appendf(std::string& out, const char* format, auto... args) {
  char text[96];
  int n = std::snprintf(text, sizeof text, format, args...);
  if (n > 0) out.append(text, std::min<size_t>(size_t(n), sizeof text - 1));
}
}  // namespace

std::string histogramLine(int slot, uint32_t count, const PaletteEntry& colour) {
  int r = colour.red, g = colour.green, b = colour.blue;
  std::string line;
  if (slot <= 9) line += ' ';
  appendf(line, "%d)  %u", slot, (unsigned)count);
  // Pads counts below 10,000,000 to one column; zero is padded like a digit.
  for (uint64_t k = count ? count : 1; k < 1000000; k *= 10) line += ' ';
  line += " 0x";
  // Leading zeros as the report has always printed them: six digits unless
  // the first non-zero component is below 16.
  if (r == 0 && g == 0 && b == 0)
    line += "00000";
  else if (r == 0 && g == 0)
    line += "0000";
  else if (r == 0)
    line += "00";
  appendf(line, "%lx  (%d, %d, %d)\n", (unsigned long)(r * 65536 + g * 256 + b), r, g, b);
  return line;
}

void writeHistogram(const GraphicsState& graphics, const Palette& palette) {
  std::printf("Saving histogram file: %s\n", kHistogramName);
  std::fflush(stdout);
  kit::AtomicFile out;
  if (!out.open(kHistogramName, "w")) failHistogram();
  std::fputs("##    Count    0xRGB       R  G  B\n", out.file);
  std::fputs("==========================================\n", out.file);
  for (int i = 0; i < 256; ++i)
    std::fputs(histogramLine(i, graphics.colourCounts[i], palette[i]).c_str(), out.file);
  if (!out.commit()) failHistogramWrite();
}

}  // namespace kiln
