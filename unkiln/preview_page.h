#pragma once
// index.html of a preview: one page that opens from its folder with no server,
// no network and no scripts. Every text from a database is escaped.

#include <string>
#include <vector>

#include "kiln/pdb/record_info.h"

namespace unkiln {

// A PNG of the preview folder and its size in pixels as written.
struct PagePicture {
  std::string file;  // empty: none
  int width = 0, height = 0;
};

struct PageRecord {
  int index = 0;
  unsigned offset = 0, size = 0;
  std::string code, summary, error;  // error: why the record is damaged or not drawn
  std::string fields;                // fieldsHtml() of a record that is not a picture, or empty
  bool picture = false;              // a bitmap record: the fields below say what it is
  int width = 0, height = 0, depth = 0;
  bool masked = false, compressed = false;
  size_t storedSize = 0, unpackedSize = 0;
  PagePicture image;
  // An 8-bit bitmap's place on its database's shade sheets (shadeSet an
  // index of PageDatabase::shadeSets, -1: none), in pixels before scaling.
  int shadeSet = -1, shadeX = 0, shadeY = 0;
};

// The bitmaps of a palette drawn through P0 to P4: five sheets alike but for
// their colours. The page shows each bitmap's five side by side, cut from them.
struct ShadeSheets {
  PagePicture sheets[5];
  int width = 0, height = 0;  // before scaling
};

struct PageDatabase {
  std::string file;  // the .pdb file as given
  kiln::Node header;
  std::vector<PageRecord> records;
  PagePicture sheet;                 // contact sheet of its bitmaps
  std::vector<ShadeSheets> shadeSets;
  std::vector<PagePicture> palettes, shades, fonts;  // swatches and font sheets, in record order
  std::vector<int> paletteRecords, fontRecords;      // their record indexes
};

// Text as HTML: markup characters as entities, bytes from 0x80 as Latin-1
// character references, control characters as \xNN.
std::string escapeHtml(const std::string& text);
// The same appended to out.
void appendEscaped(std::string& out, const std::string& text);

// A record's fields as HTML tables: a list of objects is one table with a
// column per field, an object a table of names and values. Entries given a
// slice at a time (kiln::RecordInfo::entries) are shown as if in the list.
std::string fieldsHtml(const kiln::RecordInfo& info);

// The page in parts, written as they are ready: the head (the databases'
// file names as given; scale is the enlargement of the PNG files, and the
// page shows small pictures larger still, pixelated), a section a database
// (n its place among them), the end.
std::string pageHead(const std::vector<std::string>& files, int scale);
std::string pageSection(const PageDatabase& database, size_t n);
const char* pageEnd();

}  // namespace unkiln
