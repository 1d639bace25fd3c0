#include "unkiln/preview_page.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace unkiln {

using kiln::Node;

namespace {

// Written as well-formed XHTML, so that any XML parser reads the page too.
const char kStyle[] = R"(
body { font: 14px/1.4 system-ui, sans-serif; margin: 0 24px 48px; color: #222; background: #fafafa; }
h1 { font-size: 22px; margin: 20px 0 8px; }
h2 { font-size: 18px; margin: 36px 0 8px; padding-top: 12px; border-top: 2px solid #bbb; }
h3 { font-size: 15px; margin: 20px 0 6px; color: #444; }
nav a { margin-right: 14px; }
table { border-collapse: collapse; margin: 4px 0; background: #fff; }
th, td { border: 1px solid #ddd; padding: 2px 8px; text-align: left; vertical-align: top; }
th { background: #eee; font-weight: 600; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
tr.damaged td { background: #fde8e8; }
.error { color: #a00; }
img { image-rendering: pixelated; image-rendering: crisp-edges; }
.checker { background-color: #fff;
  background-image: linear-gradient(45deg, #ccc 25%, transparent 25%, transparent 75%, #ccc 75%),
                    linear-gradient(45deg, #ccc 25%, transparent 25%, transparent 75%, #ccc 75%);
  background-size: 16px 16px; background-position: 0 0, 8px 8px; }
.pictures { display: flex; flex-wrap: wrap; gap: 12px; align-items: flex-start; }
figure { margin: 0; padding: 6px; background: #fff; border: 1px solid #ddd; }
figure img { display: inline-block; vertical-align: top; margin: 0 8px 4px 0; }
.strip { display: inline-block; vertical-align: top; white-space: nowrap; }
.crop { display: inline-block; overflow: hidden; vertical-align: top; margin: 0 4px 4px 0; }
.crop img { display: block; margin: 0; max-width: none; }
figcaption { font-size: 12px; color: #444; max-width: 760px; }
.sheet { overflow: auto; max-height: 640px; border: 1px solid #ddd; display: inline-block; max-width: 100%; }
.sheet img { display: block; }
details { margin: 4px 0; }
summary { cursor: pointer; }
)";

bool plainHtml(unsigned char c) {
  return c >= 0x20 && c < 0x7F ? c != '&' && c != '<' && c != '>' && c != '"' && c != '\''
                               : c == '\t' || c == '\n' || c == '\r';
}

// Hands text to put(part, size) as it goes on the page: runs of plain
// characters whole, the others as entities, references or \xNN.
template <class Put>
void escapeInto(const std::string& text, Put&& put) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* plain = p;
    while (p < end && plainHtml(static_cast<unsigned char>(*p))) ++p;
    if (p > plain) put(plain, size_t(p - plain));
    if (p == end) break;
    const unsigned char c = static_cast<unsigned char>(*p++);
    switch (c) {
      case '&': put("&amp;", 5); break;
      case '<': put("&lt;", 4); break;
      case '>': put("&gt;", 4); break;
      case '"': put("&quot;", 6); break;
      case '\'': put("&#39;", 5); break;
      default: {
        char ref[12];
        const int n = std::snprintf(ref, sizeof ref, c >= 0xA0 ? "&#x%02X;" : "\\x%02X", c);
        put(ref, size_t(n));
      }
    }
  }
}

// Text written through a pointer into room made ahead: a table's fields are
// millions of cells, and a string's append costs a call and a check each.
class Html {
 public:
  void put(const char* part, size_t size) {
    room(size);
    std::memcpy(at_, part, size);
    at_ += size;
  }
  template <size_t N>
  void put(const char (&literal)[N]) {
    put(literal, N - 1);
  }
  void put(const std::string& text) { put(text.data(), text.size()); }
  void number(long long n) {
    room(24);
    at_ = std::to_chars(at_, at_ + 24, n).ptr;
  }
  void escaped(const std::string& text) {
    escapeInto(text, [this](const char* part, size_t size) { put(part, size); });
  }
  // Text from a database, to be escaped: out.add("<td>", esc(name), "</td>").
  struct Escaped {
    const std::string& text;
  };
  // Each part in turn: markup as it stands, numbers in digits, Escaped text
  // escaped.
  template <class... Parts>
  void add(const Parts&... parts) {
    (one(parts), ...);
  }
  std::string take() {
    text_.resize(text_.empty() ? 0 : size_t(at_ - text_.data()));
    at_ = end_ = nullptr;
    return std::move(text_);
  }

 private:
  void one(const char* markup) { put(markup, std::strlen(markup)); }
  void one(const std::string& markup) { put(markup); }
  void one(const Escaped& text) { escaped(text.text); }
  template <class Integer, class = std::enable_if_t<std::is_integral_v<Integer>>>
  void one(Integer n) {
    number((long long)n);
  }
  void room(size_t size) {
    if (size_t(end_ - at_) < size) grow(size);
  }
  void grow(size_t size) {
    const size_t used = text_.empty() ? 0 : size_t(at_ - text_.data());
    text_.resize(std::max(text_.size() * 2, used + size + 4096));
    at_ = text_.data() + used;
    end_ = text_.data() + text_.size();
  }
  std::string text_;
  char* at_ = nullptr;
  char* end_ = nullptr;
};

Html::Escaped esc(const std::string& text) { return {text}; }

// An <img> of a preview file at zoom times its size: the largest whole
// number that keeps its longer side within target, at least 1.
void image(Html& out, const PagePicture& p, int target, const char* alt, bool checker = true) {
  const int longer = std::max(std::max(p.width, p.height), 1);
  const long long zoom = std::max(1, target / longer);
  out.add("<img src=\"", esc(p.file), "\" alt=\"", alt, checker ? "\" class=\"checker" : "", "\" width=\"",
          p.width * zoom, "\" height=\"", p.height * zoom, "\" />");
}

bool scalar(const Node& n) { return n.kind != Node::Kind::List && n.kind != Node::Kind::Object; }

void render(Html& out, const Node& n);

// A list of objects is a table with a column per field, in order of first
// appearance. The objects of a table nearly always have the same fields in
// the same order, so each field is looked for first where its column is.
// The columns of a list of objects: every field, in order of first appearance.
std::vector<std::string> rowKeys(const Node& list) {
  std::vector<std::string> keys;
  for (const Node& item : list.items)
    for (size_t j = 0; j < item.members.size(); ++j) {
      const std::string& name = item.members[j].first;
      if ((j >= keys.size() || keys[j] != name) && std::find(keys.begin(), keys.end(), name) == keys.end())
        keys.push_back(name);
    }
  return keys;
}

void rowsHead(Html& out, const std::vector<std::string>& keys) {
  out.add("<table><tr><th>#</th>");
  for (const std::string& k : keys) out.add("<th>", esc(k), "</th>");
  out.add("</tr>\n");
}

// The rows of list's objects, numbered from first.
void rowsBody(Html& out, const Node& list, const std::vector<std::string>& keys, size_t first) {
  for (size_t i = 0; i < list.items.size(); ++i) {
    out.add("<tr><td class=\"n\">", first + i, "</td>");
    const auto& members = list.items[i].members;
    for (size_t j = 0; j < keys.size(); ++j) {
      out.add("<td>");
      if (j < members.size() && members[j].first == keys[j]) {
        render(out, members[j].second);
      } else {
        for (const auto& m : members)
          if (m.first == keys[j]) {
            render(out, m.second);
            break;
          }
      }
      out.add("</td>");
    }
    out.add("</tr>\n");
  }
}

void renderRows(Html& out, const Node& list) {
  const std::vector<std::string> keys = rowKeys(list);
  rowsHead(out, keys);
  rowsBody(out, list, keys, 0);
  out.add("</table>");
}

// A record's entries made a slice at a time, shown as renderRows() shows
// them all: the entries have the same fields, so the first slice's are the
// columns.
void renderEntries(Html& out, const kiln::RecordInfo& info) {
  constexpr size_t kSlice = 1024;
  std::vector<std::string> keys;
  for (size_t first = 0; first < info.entryCount; first += kSlice) {
    const Node slice = info.entries(first, std::min(kSlice, info.entryCount - first));
    if (first == 0) {
      keys = rowKeys(slice);
      rowsHead(out, keys);
    }
    rowsBody(out, slice, keys, first);
  }
  if (info.entryCount > 0) out.add("</table>");
}

// An object as a table of names and values; with info, the member that
// holds its entries shows them made a slice at a time.
void renderObject(Html& out, const Node& n, const kiln::RecordInfo* info = nullptr) {
  out.add("<table>");
  for (const auto& m : n.members) {
    out.add("<tr><th>", esc(m.first), "</th><td>");
    if (info && m.first == info->entriesKey)
      renderEntries(out, *info);
    else
      render(out, m.second);
    out.add("</td></tr>");
  }
  out.add("</table>");
}

void render(Html& out, const Node& n) {
  switch (n.kind) {
    case Node::Kind::Null: break;
    case Node::Kind::Bool:
      if (n.flag)
        out.put("yes");
      else
        out.put("no");
      break;
    case Node::Kind::Number: out.number(n.number); break;
    case Node::Kind::Text: out.escaped(n.text); break;
    case Node::Kind::List: {
      bool objects = !n.items.empty(), plain = true;
      for (const Node& i : n.items) {
        objects = objects && i.kind == Node::Kind::Object;
        plain = plain && scalar(i);
      }
      if (objects) {
        renderRows(out, n);
      } else if (plain) {
        for (size_t i = 0; i < n.items.size(); ++i) {
          if (i) out.put(", ");
          render(out, n.items[i]);
        }
      } else {
        out.put("<ol start=\"0\">");
        for (const Node& i : n.items) {
          out.put("<li>");
          render(out, i);
          out.put("</li>");
        }
        out.put("</ol>");
      }
      break;
    }
    case Node::Kind::Object: renderObject(out, n); break;
  }
}

// Page pixels per pixel of a bitmap: the whole number that brings its longer
// side nearest to 128, whatever the scale of its files.
long long bitmapZoom(const PageRecord& r) { return std::max(1, 128 / std::max(std::max(r.width, r.height), 1)); }

// The five shades of a bitmap side by side, each cut from its sheet: a box
// the size of the picture as shown, and the whole sheet inside it moved so
// that the bitmap's place shows through.
void shadeStrip(Html& out, const PageRecord& r, const ShadeSheets& set) {
  const long long perPixel = bitmapZoom(r);
  bool any = false;
  for (const PagePicture& sheet : set.sheets) any = any || !sheet.file.empty();
  if (!any) return;
  out.add("<span class=\"strip\">");
  for (int s = 0; s < 5; ++s) {
    const PagePicture& sheet = set.sheets[s];
    if (sheet.file.empty()) continue;
    out.add("<span class=\"crop checker\" style=\"width:", r.width * perPixel, "px;height:", r.height * perPixel,
            "px\"><img src=\"", esc(sheet.file), "\" alt=\"record ", r.index, " through P", s,
            "\" style=\"margin-left:-", r.shadeX * perPixel, "px;margin-top:-", r.shadeY * perPixel, "px\" width=\"",
            set.width * perPixel, "\" height=\"", set.height * perPixel, "\" /></span>");
  }
  out.add("</span>");
}

void pictureFigure(Html& out, const std::string& id, const PageRecord& r, const PageDatabase& d) {
  out.add("<figure id=\"", id, "-", r.index, "\">");
  if (!r.image.file.empty())
    out.add("<img src=\"", esc(r.image.file), "\" alt=\"record ", r.index, "\" class=\"checker\" width=\"",
            r.width * bitmapZoom(r), "\" height=\"", r.height * bitmapZoom(r), "\" />");
  const bool strip = r.shadeSet >= 0 && size_t(r.shadeSet) < d.shadeSets.size();
  if (strip) shadeStrip(out, r, d.shadeSets[size_t(r.shadeSet)]);
  out.add("<figcaption><b>#", r.index, "</b> ", esc(r.code), " ", r.width, "x", r.height, ", ", r.depth, "-bit",
          r.masked ? ", masked" : ", not masked", r.compressed ? ", compressed" : ", not compressed", "; stored ",
          r.storedSize, " bytes, unpacked ", r.unpackedSize, " bytes");
  if (strip) out.add("<br />the picture, then its shades P0 to P4, left to right");
  if (!r.error.empty()) out.add("<br /><span class=\"error\">", esc(r.error), "</span>");
  out.add("</figcaption></figure>\n");
}

void databaseSection(Html& out, const PageDatabase& d, size_t n) {
  const std::string id = "db" + std::to_string(n);
  out.add("<section id=\"", id, "\">\n<h2>", esc(d.file), "</h2>\n");
  render(out, d.header);
  out.add("\n<h3>Records</h3>\n<table><tr><th>index</th><th>offset</th><th>size</th><th>code</th>"
          "<th>summary</th></tr>\n");
  for (const PageRecord& r : d.records) {
    out.add(r.error.empty() || r.picture ? "<tr>" : "<tr class=\"damaged\">", "<td class=\"n\">", r.index,
            "</td><td class=\"n\">", r.offset, "</td><td class=\"n\">", r.size, "</td><td>", esc(r.code), "</td><td>");
    if (r.picture) out.add("<a href=\"#", id, "-", r.index, "\">");
    out.add(esc(r.summary));
    if (r.picture) out.add("</a>");
    if (!r.error.empty()) out.add(" <span class=\"error\">", esc(r.error), "</span>");
    out.add("</td></tr>\n");
  }
  out.add("</table>\n");

  for (size_t i = 0; i < d.palettes.size(); ++i) {
    out.add("<h3>Palette (record ", d.paletteRecords[i], ")</h3>\n<p>");
    image(out, d.palettes[i], 256, "palette", false);
    out.add("</p>\n");
    if (i < d.shades.size() && !d.shades[i].file.empty())
      out.add("<p>Shade tables P0 to P4, top to bottom: the colour each slot becomes at every distance.</p>\n<p>"
              "<img src=\"",
              esc(d.shades[i].file), "\" alt=\"shade tables\" width=\"768\" height=\"100\" /></p>\n");
  }
  for (size_t i = 0; i < d.fonts.size(); ++i) {
    out.add("<h3>Font (record ", d.fontRecords[i], ")</h3>\n<p>");
    image(out, d.fonts[i], 768, "font", false);
    out.add("</p>\n");
  }
  if (!d.sheet.file.empty()) {
    out.add("<h3>Contact sheet</h3>\n<div class=\"sheet\">");
    image(out, d.sheet, 512, "contact sheet");
    out.add("</div>\n");
  }
  bool pictures = false;
  for (const PageRecord& r : d.records) pictures = pictures || r.picture;
  if (pictures) {
    out.add("<h3>Pictures</h3>\n<div class=\"pictures\">\n");
    for (const PageRecord& r : d.records)
      if (r.picture) pictureFigure(out, id, r, d);
    out.add("</div>\n");
  }
  bool tables = false;
  for (const PageRecord& r : d.records) tables = tables || !r.fields.empty();
  if (tables) {
    out.add("<h3>Tables</h3>\n");
    for (const PageRecord& r : d.records)
      if (!r.fields.empty())
        out.add("<details><summary>#", r.index, " ", esc(r.summary), "</summary>\n", r.fields, "</details>\n");
  }
  out.add("</section>\n");
}

}  // namespace

std::string fieldsHtml(const kiln::RecordInfo& info) {
  Html out;
  if (info.entries && info.fields.kind == Node::Kind::Object)
    renderObject(out, info.fields, &info);
  else
    render(out, info.fields);
  return out.take();
}

void appendEscaped(std::string& out, const std::string& text) {
  escapeInto(text, [&out](const char* part, size_t size) { out.append(part, size); });
}

std::string escapeHtml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  appendEscaped(out, text);
  return out;
}

std::string pageHead(const std::vector<std::string>& files, int scale) {
  std::string out =
      "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n<meta charset=\"utf-8\" />\n"
      "<title>";
  std::string names;
  for (const std::string& file : files) names += (names.empty() ? "" : ", ") + file;
  out += "Preview: " + escapeHtml(names) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
  out += "<h1>Preview: " + escapeHtml(names) + "</h1>\n";
  out += "<p>Every picture as the device draws it; transparent pixels show the checkerboard. Pictures are "
         "written at scale " +
         std::to_string(scale) + " and shown enlarged.</p>\n<nav>";
  for (size_t i = 0; i < files.size(); ++i)
    out += "<a href=\"#db" + std::to_string(i) + "\">" + escapeHtml(files[i]) + "</a>";
  out += "</nav>\n";
  return out;
}

std::string pageSection(const PageDatabase& database, size_t n) {
  Html out;
  databaseSection(out, database, n);
  return out.take();
}

const char* pageEnd() { return "</body>\n</html>\n"; }

}  // namespace unkiln
