// unkiln preview on databases kiln builds from pictures made here: every
// pixel of every PNG checked against the picture it came from, the shade
// strips (cut from their sheets as the page cuts them) against the shade
// tables, and index.html read as XML.
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "kiln/graphics/graphics_test_support.h"
#include "tests/adventure.h"

#include "tests/stb_image_reader.h"

namespace {

namespace fs = std::filesystem;
using kit::testing::Adventure;
using kit::testing::Bytes;
using kit::testing::readBytes;
using kit::testing::readText;
using kit::testing::Result;
using kiln::testing::rgb;

struct Png {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  std::array<int, 4> at(int x, int y) const {
    const uint8_t* p = rgba.data() + 4 * (size_t(y) * width + x);
    return {p[0], p[1], p[2], p[3]};
  }
};
Png readPng(const std::string& path) {
  Png png;
  Bytes b = readBytes(path);
  int channels = 0;
  uint8_t* p = stbi_load_from_memory(b.data(), int(b.size()), &png.width, &png.height, &channels, 4);
  if (!p) {
    ADD_FAILURE() << path << " is not a PNG";
    return png;
  }
  png.rgba.assign(p, p + size_t(png.width) * png.height * 4);
  stbi_image_free(p);
  return png;
}

// Colours of the palette's cube, in it whatever the file's order.
const uint32_t kColours[] = {rgb(255, 0, 255), rgb(0, 153, 51), rgb(51, 102, 204), rgb(255, 255, 255),
                             rgb(0, 0, 0),     rgb(204, 204, 0)};
// Grays: two of them off their level's own gray, one nearly gray.
const uint32_t kGrays[] = {rgb(255, 255, 255), rgb(200, 203, 200), rgb(100, 100, 97), rgb(0, 0, 0),
                           rgb(120, 124, 127)};
const uint32_t kRed = rgb(255, 0, 0), kGreen = rgb(0, 255, 0);

// The pictures of one list: long runs (compress), noise (do not), masked or not.
struct Entry {
  bool runs, masked;
  int compressFlag;
  int flags;  // as the record should come out
};
const Entry kEntries[] = {{true, false, 1, 2}, {true, false, 0, 0}, {false, true, 1, 1}, {true, true, 1, 1}};

kiln::testing::TestBmp picture(int depth, const Entry& e) {
  kiln::testing::TestBmp t;
  t.width = 64;
  if (depth == 8)
    t.colours.assign(std::begin(kColours), std::end(kColours));
  else
    t.colours.assign(std::begin(kGrays), std::begin(kGrays) + (depth == 2 ? 4 : 5));
  const int n = int(t.colours.size());
  t.colours.push_back(depth == 8 ? kRed : kGreen);
  for (int y = 0; y < 8; ++y) {
    std::vector<int> row;
    for (int x = 0; x < t.width; ++x) {
      bool hidden = e.masked && (x * 3 + y) % 7 == 0;
      row.push_back(hidden ? n : e.runs ? (x / 16 + y / 4) % n : (x * 5 + y * 3) % n);
    }
    t.rows.push_back(row);
  }
  return t;
}

// The gray a 2- or 4-bit colour is drawn in: its level by its blue, then
// 255 - L * 255 / M rounded.
int grayOf(uint32_t colour, int depth) {
  int blue = colour & 0xFF;
  int level = depth == 2 ? (blue > 240 ? 0 : blue > 140 ? 1 : blue > 40 ? 2 : 3) : 15 - blue / 16;
  int most = depth == 2 ? 3 : 15;
  return 255 - (level * 255 + most / 2) / most;
}

struct Built {
  Adventure a;
  std::string pdb;
  std::vector<kiln::testing::TestBmp> pictures;
};

// One database of the four pictures at depth, with the sample's palette.
void build(Built& b, int depth) {
  b.a.copySample({"palette.bmp"});
  std::string list;
  for (size_t i = 0; i < std::size(kEntries); ++i) {
    b.pictures.push_back(picture(depth, kEntries[i]));
    b.a.write("p" + std::to_string(i) + ".bmp", kiln::testing::makeBmp(b.pictures.back()));
    list += std::to_string(i) + " p" + std::to_string(i) + ".bmp " + std::to_string(kEntries[i].compressFlag) + "\n";
  }
  b.a.write("list.txt", list);
  Result r = b.a.build("!NAME:Quest\n!WALL:Pics:Pics:pictures:1.0\nPA palette.bmp\nB" + std::to_string(depth) +
                       " list.txt\n");
  ASSERT_EQ(r.status, 0) << r.err;
  b.pdb = b.a.path("Pics.pdb");
}

// One shade of a bitmap on the page: a box of width x height page pixels
// showing the sheet file, drawn sheetWidth wide, moved left and up.
struct Crop {
  std::string file;
  long left = 0, up = 0, width = 0, height = 0, sheetWidth = 0;
};

long numberAfter(const std::string& text, const std::string& key, size_t from) {
  size_t at = text.find(key, from);
  return at == std::string::npos ? -1 : std::stol(text.substr(at + key.size()));
}

// The crops of the figure with this id, left to right.
std::vector<Crop> cropsOf(const std::string& page, const std::string& id) {
  std::vector<Crop> crops;
  const size_t figure = page.find("<figure id=\"" + id + "\">");
  if (figure == std::string::npos) return crops;
  const size_t end = page.find("</figure>", figure);
  for (size_t at = page.find("class=\"crop", figure); at < end; at = page.find("class=\"crop", at + 1)) {
    Crop c;
    c.width = numberAfter(page, "width:", at);
    c.height = numberAfter(page, "height:", at);
    const size_t src = page.find("src=\"", at) + 5;
    c.file = page.substr(src, page.find('"', src) - src);
    c.left = numberAfter(page, "margin-left:-", at);
    c.up = numberAfter(page, "margin-top:-", at);
    c.sheetWidth = numberAfter(page, "\" width=\"", src);
    crops.push_back(c);
  }
  return crops;
}

Result preview(const Adventure& a, std::vector<std::string> args) {
  args.insert(args.begin(), "preview");
  return kit::testing::run("unkiln", args, a.s.root.string());
}

TEST(UnkilnPreview, BrushesComeBackPixelForPixelAtEveryDepth) {
  for (int depth : {2, 4, 8}) {
    SCOPED_TRACE("depth " + std::to_string(depth));
    Built b;
    build(b, depth);
    std::vector<Bytes> records = kit::testing::pdbRecords(b.pdb);
    ASSERT_EQ(records.size(), 7u + std::size(kEntries));  // AU, PA, P0 to P4, the pictures
    std::map<uint32_t, int> slot;  // the lowest palette slot of each colour
    for (int s = 255; s >= 0; --s)
      slot[uint32_t(records[1][3 + 4 * s]) << 16 | records[1][4 + 4 * s] << 8 | records[1][5 + 4 * s]] = s;
    for (uint32_t c : kColours) ASSERT_TRUE(slot.count(c)) << "the sample palette lacks " << std::hex << c;

    for (int scale : {1, 3}) {
      std::string out = b.a.s.path("preview" + std::to_string(scale));
      Result r = preview(b.a, {b.pdb, "-o", out, "--scale", std::to_string(scale)});
      ASSERT_EQ(r.status, 0) << r.err;
      for (size_t i = 0; i < std::size(kEntries); ++i) {
        const int index = int(7 + i);
        const Bytes& record = records[index];
        EXPECT_EQ(record[5], kEntries[i].flags) << "record " << index;
        const kiln::testing::TestBmp& t = b.pictures[i];
        const std::string name = out + "/Pics-" + std::to_string(index) + "-B" + std::to_string(depth);
        Png png = readPng(name + ".png");
        ASSERT_EQ(png.width, t.width * scale);
        ASSERT_EQ(png.height, int(t.rows.size()) * scale);
        // The five shades, each cut from its sheet: page pixels per pixel of
        // the bitmap, the bitmap's place on the sheet, and the sheet's scale.
        const std::string page = readText(out + "/index.html");
        const std::vector<Crop> crops = cropsOf(page, "db0-" + std::to_string(index));
        ASSERT_EQ(crops.size(), depth == 8 ? 5u : 0u);
        std::vector<Png> sheets;
        for (const Crop& c : crops) {
          ASSERT_EQ(c.width % t.width, 0);
          const long zoom = c.width / t.width;
          ASSERT_EQ(c.height, long(t.rows.size()) * zoom);
          sheets.push_back(readPng(out + "/" + c.file));
          ASSERT_EQ(sheets.back().width * zoom % c.sheetWidth, 0);
        }
        for (int y = 0; y < png.height; ++y)
          for (int x = 0; x < png.width; ++x) {
            const uint32_t c = t.colours[t.rows[y / scale][x / scale]];
            const bool hidden = depth == 8 ? c == kRed : c == kGreen;
            const auto got = png.at(x, y);
            std::array<int, 4> want = {int(c >> 16), int(c >> 8 & 255), int(c & 255), 255};
            if (depth != 8) want = {grayOf(c, depth), grayOf(c, depth), grayOf(c, depth), 255};
            if (hidden) {
              EXPECT_EQ(got[3], 0) << x << "," << y;
            } else {
              ASSERT_EQ(got, want) << x << "," << y << " of record " << index;
            }
            // Pixel x, y through shade s, on the sheet the page cuts it from.
            for (int s = 0; s < int(crops.size()); ++s) {
              const Crop& crop = crops[size_t(s)];
              const Png& sheet = sheets[size_t(s)];
              const long zoom = crop.width / t.width, sheetScale = sheet.width * zoom / crop.sheetWidth;
              const auto shaded = sheet.at(int((crop.left / zoom + x / scale) * sheetScale),
                                           int((crop.up / zoom + y / scale) * sheetScale));
              if (hidden) {
                EXPECT_EQ(shaded[3], 0) << "shade " << s << " at " << x << "," << y;
                continue;
              }
              const uint8_t* e = &records[1][2 + 4 * records[2 + s][2 + slot[c]]];
              ASSERT_EQ(shaded, (std::array<int, 4>{e[1], e[2], e[3], 255})) << "shade " << s << " at " << x << "," << y;
            }
          }
      }
    }
  }
}

// A small XML reader: tags nest and close, attributes are quoted, every "&"
// starts an entity or character reference. Collects the img sources.
bool wellFormed(const std::string& page, std::vector<std::string>& images, std::string& error) {
  std::vector<std::string> open;
  size_t i = page.find("<html");
  if (page.rfind("<!DOCTYPE html>", 0) != 0 || i == std::string::npos) {
    error = "no doctype or html element";
    return false;
  }
  while (i < page.size()) {
    if (page[i] == '&') {
      size_t end = page.find(';', i);
      std::string ref = end == std::string::npos ? "" : page.substr(i, end - i + 1);
      static const std::set<std::string> named = {"&amp;", "&lt;", "&gt;", "&quot;", "&#39;"};
      if (!named.count(ref) && ref.rfind("&#x", 0) != 0) {
        error = "bare & at " + std::to_string(i);
        return false;
      }
      i = end + 1;
    } else if (page[i] == '<') {
      size_t end = page.find('>', i);
      if (end == std::string::npos) return (error = "unclosed tag"), false;
      std::string tag = page.substr(i + 1, end - i - 1);
      i = end + 1;
      if (tag.empty() || tag.find('<') != std::string::npos) return (error = "< inside a tag"), false;
      if (tag[0] == '/') {
        if (open.empty() || open.back() != tag.substr(1))
          return (error = "</" + tag.substr(1) + "> closes nothing"), false;
        open.pop_back();
        continue;
      }
      size_t quotes = 0;
      for (char c : tag) quotes += c == '"';
      if (quotes % 2) return (error = "odd quotes in <" + tag + ">"), false;
      std::string name = tag.substr(0, tag.find_first_of(" /"));
      if (name == "img") {
        size_t at = tag.find(" src=\"");
        if (at == std::string::npos) return (error = "img without src"), false;
        at += 6;
        images.push_back(tag.substr(at, tag.find('"', at) - at));
      }
      if (tag.back() != '/') open.push_back(name);
      if (name == "style") {  // style text holds no markup
        size_t close = page.find("</style>", i);
        i = close;
      }
    } else {
      ++i;
    }
  }
  if (!open.empty()) return (error = "<" + open.back() + "> is never closed"), false;
  return true;
}

TEST(UnkilnPreview, IndexListsEveryRecordAndShowsTextAsText) {
  Built b;
  build(b, 8);
  b.a.copySample({"font.txt"});
  b.a.write("hostile.txt", "1 TXT_A \"<script>alert('x')</script> & <b>bold</b>\"\n");
  Result r = b.a.build("!NAME:Quest\n!TADV:Data:Data.QST1:texts & <fonts>:1.0\nTX hostile.txt\n"
                       "FN font.txt\n!WALL:Pics:Pics:pictures:1.0\nPA palette.bmp\nB8 list.txt\n");
  ASSERT_EQ(r.status, 0) << r.err;
  std::string out = b.a.s.path("preview");
  const std::vector<std::string> pdbs = {b.a.path("Data.pdb"), b.a.path("Pics.pdb")};
  r = preview(b.a, {pdbs[0], pdbs[1], "-o", out});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string page = readText(out + "/index.html");
  std::vector<std::string> images;
  std::string error;
  ASSERT_TRUE(wellFormed(page, images, error)) << error;
  // Palette and shade tables, four pictures, five shades of each, font, contact sheet.
  EXPECT_EQ(images.size(), 2u + 4u + 4u * 5 + 1 + 1);
  for (const std::string& src : images) {
    EXPECT_EQ(src.find('/'), std::string::npos) << src;
    EXPECT_TRUE(fs::is_regular_file(out + "/" + src)) << src;
  }
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("<b>bold"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &lt;b&gt;bold&lt;/b&gt;"),
            std::string::npos);
  EXPECT_NE(page.find("texts &amp; &lt;fonts&gt;"), std::string::npos);
  // Every record with its summary as the listing gives it.
  Result list = kit::testing::run("unkiln", {"list", pdbs[0], pdbs[1]}, b.a.s.root.string());
  ASSERT_EQ(list.status, 0) << list.err;
  int rows = 0;
  for (size_t at = 0; (at = list.out.find("\n  ", at)) != std::string::npos; ++at) {
    size_t end = list.out.find('\n', at + 1);
    std::string line = list.out.substr(at + 1, end - at - 1);
    if (line.find("index") != std::string::npos || line.find(':') != std::string::npos) continue;
    std::string summary = line.substr(line.find_first_not_of(' ', 36));
    std::string escaped;
    for (char c : summary) escaped += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;"
                                      : c == '\'' ? "&#39;" : std::string(1, c);
    EXPECT_NE(page.find(">" + escaped + "<"), std::string::npos) << summary;
    ++rows;
  }
  EXPECT_EQ(rows, 3 + 11);
}

TEST(UnkilnPreview, AnEightBitPictureWithoutAPaletteIsAnErrorNamingTheRecord) {
  Built b;
  build(b, 8);
  // The palette's database alone, then the pictures with it given by --palette.
  std::string out = b.a.s.path("preview");
  Result r = preview(b.a, {b.pdb, "-o", out, "--scale", "17"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ERROR: --scale takes a whole number from 1 to 16, not <17>"), std::string::npos) << r.err;
  // A database of the pictures without the PA record: cut from the built one.
  b.a.write("nopal.txt", "0 p0.bmp\n");
  r = b.a.build("!NAME:Quest\n!WALL:Pal:Palette:palette:1.0\nPA palette.bmp\n"
                "!WALL:Pics2:Pics2:pictures:1.0\nB8 nopal.txt\n");
  ASSERT_EQ(r.status, 0) << r.err;
  r = preview(b.a, {b.a.path("Pics2.pdb"), "-o", out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ERROR: " + b.a.path("Pics2.pdb") + ": record 1 at offset "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("an 8-bit bitmap needs a palette"), std::string::npos) << r.err;
  r = preview(b.a, {b.a.path("Pics2.pdb"), "-o", out, "--palette", b.a.path("Pal.pdb")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_regular_file(out + "/Pics2-1-B8.png"));
  // Or the palette's database previewed with it.
  r = preview(b.a, {b.a.path("Pics2.pdb"), b.a.path("Pal.pdb"), "-o", out});
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST(UnkilnPreview, FaultsAreNamedInRecordOrderAndTheRestWritten) {
  Built b;
  build(b, 8);
  // Folders where two pictures, an early and a late one, would go; between
  // them, record 9 given a code no record has, so that it is described (on a
  // worker) and reported as damaged.
  const std::string out = b.a.s.path("preview");
  fs::create_directories(out + "/Pics-7-B8.png");
  fs::create_directories(out + "/Pics-shades-P3.png");
  Bytes pdb = readBytes(b.pdb);
  const size_t at = size_t(pdb[78 + 8 * 9]) << 24 | pdb[79 + 8 * 9] << 16 | pdb[80 + 8 * 9] << 8 | pdb[81 + 8 * 9];
  pdb[at] = 'Z';
  pdb[at + 1] = 'Q';
  std::ofstream(b.pdb, std::ios::binary).write(reinterpret_cast<const char*>(pdb.data()), std::streamsize(pdb.size()));
  Result r = preview(b.a, {b.pdb, "-o", out});
  EXPECT_EQ(r.status, 1);
  const size_t early = r.err.find("ERROR: failed to write " + (fs::path(out) / "Pics-7-B8.png").string() + ": ");
  const size_t damaged = r.err.find("ERROR: " + b.pdb + ": record 9 at offset " + std::to_string(at) + ": unknown code ZQ");
  const size_t late = r.err.find("ERROR: failed to write " + (fs::path(out) / "Pics-shades-P3.png").string() + ": ");
  ASSERT_NE(early, std::string::npos) << r.err;
  ASSERT_NE(damaged, std::string::npos) << r.err;
  ASSERT_NE(late, std::string::npos) << r.err;
  EXPECT_LT(early, damaged);
  EXPECT_LT(damaged, late);
  // Swatches, 3 pictures, the contact sheet (which P0, leaving every colour
  // as it is, shares), P1 to P4 and the page: 11, less the two.
  EXPECT_NE(r.out.find("(9 files)"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(out + "/Pics-shades-P0.png"));
  const std::string page = readText(out + "/index.html");
  EXPECT_EQ(page.find("src=\"Pics-7-B8.png\""), std::string::npos);
  EXPECT_EQ(page.find("src=\"Pics-shades-P3.png\""), std::string::npos);
  EXPECT_NE(page.find("src=\"Pics-shades-P2.png\""), std::string::npos);
  EXPECT_NE(page.find("src=\"Pics-10-B8.png\""), std::string::npos);
  EXPECT_NE(page.find("alt=\"record 10 through P0\""), std::string::npos);
  EXPECT_EQ(page.find("alt=\"record 10 through P3\""), std::string::npos);
  EXPECT_EQ(readPng(out + "/Pics-10-B8.png").width, b.pictures[3].width);
  EXPECT_NE(page.find("<tr class=\"damaged\"><td class=\"n\">9</td>"), std::string::npos);
}

}  // namespace
