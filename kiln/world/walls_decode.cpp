#include "kiln/world/walls_decode.h"

#include <cstring>
#include <vector>

#include "kiln/pdb/record_check.h"
#include "kiln/world/walls.h"
#include "kiln/world/walls_format.h"

namespace kiln {

using namespace walls_format;

namespace {

// The brushes of each view, from the view start indexes; false when the
// starts are not the running counts the compiler stores.
bool viewCounts(const uint8_t* data, int counts[kWallViews], std::string& error) {
  int brushes = data[kBrushCount];
  if (data[kViewStarts] != 0) {
    error = "first view does not start at brush 0";
    return false;
  }
  for (int v = 0; v < kWallViews; ++v) {
    int end = v + 1 < kWallViews ? data[kViewStarts + v + 1] : brushes;
    counts[v] = end - data[kViewStarts + v];
    if (counts[v] < 0) {
      error = "view " + std::to_string(v + 1) + " starts after the view that follows it";
      return false;
    }
  }
  return true;
}

bool wallSize(const uint8_t* data, size_t length, std::string& error) {
  if (!hasBytes(length, kWallHeaderSize, error)) return false;
  return checkRecordLength(data, length, kWallHeaderSize + kBrushEntrySize * data[kBrushCount], error);
}

}  // namespace

bool describeWall(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info, std::string& error) {
  int counts[kWallViews];
  if (!wallSize(data, length, error) || !viewCounts(data, counts, error)) return false;
  uint8_t flags = data[kFlags];
  Node attributes = Node::object();
  for (const FlagBit& f : kFlagBits)
    attributes.add("attribute" + std::to_string(f.attribute), Node::boolean(flags & f.bit));
  attributes.add("attribute6", Node::num(flags >> kShadeShift));
  for (int n = kFirstWordAttribute; n <= kLastWordAttribute; ++n)
    attributes.add("attribute" + std::to_string(n), Node::num(readBE16(data + kAttribute10 + 2 * (n - 10))));
  Node views = Node::list();
  const uint8_t* entry = data + kWallHeaderSize;
  for (int v = 0; v < kWallViews; ++v) {
    Node view = Node::list();
    for (int b = 0; b < counts[v]; ++b, entry += kBrushEntrySize) {
      Node values = Node::list();
      values.push(Node::num(readBE16(entry + kBrushValue1)));
      for (int i = 0; i < 6; ++i) values.push(Node::num(entry[kBrushValue2 + i]));
      values.push(Node::num(entry[kBrushFlags] & kBrushValue8Bit ? 1 : 0));
      values.push(Node::num(entry[kBrushFlags] & kBrushValue9Bit ? 1 : 0));
      view.push(std::move(values));
    }
    views.push(std::move(view));
  }
  info.summary = code + " wall: " + std::to_string(kWallViews) + " views, " + std::to_string(data[kBrushCount]) +
                 " brushes";
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", flags);
  info.fields = Node::object()
                    .add("flags", Node::str(hex))
                    .add("attributes", std::move(attributes))
                    .add("brushCount", Node::num(data[kBrushCount]))
                    .add("views", std::move(views));
  return true;
}

bool wallSource(const uint8_t* data, size_t length, const std::string& name, std::string& text, std::string& why) {
  int counts[kWallViews];
  if (!wallSize(data, length, why) || !viewCounts(data, counts, why) ||
      !exactLength(length, kWallHeaderSize + kBrushEntrySize * data[kBrushCount], why))
    return false;
  // Attributes 1, 4, 8 and 9 only reach wallattr.bin; attribute 6 carries all
  // four high bits, so attribute 1 can stay 0.
  uint8_t flags = data[kFlags];
  int attr[14] = {};
  for (const FlagBit& f : kFlagBits)
    if (f.attribute != 1 && (flags & f.bit)) attr[f.attribute] = 1;
  attr[kShadeAttribute] = flags >> kShadeShift;
  for (int n = kFirstWordAttribute; n <= kLastWordAttribute; ++n)
    attr[n] = readBE16(data + kAttribute10 + 2 * (n - kFirstWordAttribute));
  text = "\"" + name + "\"\n";
  for (int n = 1; n <= 13; ++n) text += (n > 1 ? " " : "") + std::to_string(attr[n]);
  text += "\n";
  const uint8_t* entry = data + kWallHeaderSize;
  for (int v = 0; v < kWallViews; ++v) {
    text += std::to_string(counts[v]) + "\n";
    for (int b = 0; b < counts[v]; ++b, entry += kBrushEntrySize) {
      if ((entry[kBrushFlags] & ~(kBrushValue8Bit | kBrushValue9Bit)) || entry[kBrushReserved]) {
        why = "brush entry holds flag bits that no brush line gives";
        return false;
      }
      long long values[kBrushValues] = {readBE16(entry + kBrushValue1)};
      for (int i = 0; i < 6; ++i) values[1 + i] = entry[kBrushValue2 + i];
      values[7] = entry[kBrushFlags] & kBrushValue8Bit ? 1 : 0;
      values[8] = entry[kBrushFlags] & kBrushValue9Bit ? 1 : 0;
      for (int i = 0; i < kBrushValues; ++i) text += (i ? " " : "") + std::to_string(values[i]);
      text += "\n";
    }
  }
  return true;
}

}  // namespace kiln
