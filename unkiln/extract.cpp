// unkiln extract: an adventure folder in kiln's own input formats that
// rebuilds the given databases byte for byte.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <map>
#include <set>
#include <system_error>
#include <thread>

#include "common/files.h"
#include "common/quiet_thread.h"
#include "common/output_file.h"
#include "kiln/graphics/bitmap_decode.h"
#include "kiln/graphics/font_decode.h"
#include "kiln/graphics/palette_decode.h"
#include "kiln/pdb/pdb.h"
#include "kiln/pdb/record_check.h"
#include "kiln/pdb/string_record_decode.h"
#include "kiln/tables/heroes_decode.h"
#include "kiln/tables/monsters_decode.h"
#include "kiln/tables/number_tables_decode.h"
#include "kiln/tables/objects_decode.h"
#include "kiln/tables/spells_decode.h"
#include "kiln/tables/texts_decode.h"
#include "kiln/world/maps_decode.h"
#include "kiln/world/walls_decode.h"
#include "unkiln/commands.h"
#include "unkiln/decoders.h"
#include "unkiln/safe_name.h"

namespace unkiln {

using kiln::PdbFile;
using kiln::PdbRecord;
namespace fs = std::filesystem;

namespace {

constexpr uint16_t kAttributes = 0x0808;
constexpr uint32_t kCreator = 0x546C6D32;  // Tlm2
constexpr size_t kMaxFileName = 63;
constexpr size_t kMaxAdventureName = 63;

// What runs on across the databases of one build, as it does in kiln.
struct Extraction {
  std::string dir;
  std::set<std::string> taken;  // every file name written, in lower case
  std::string config;
  int wallSequence = 0;
  int mapSequence = 0;
  std::vector<uint8_t> acRows;
  kiln::Palette palette{};  // the active palette: the last PA extracted
  bool havePalette = false;
  int graphicsDepth = 0;    // the first brush or tile list fixes it for the build
  int unreproducible = 0;
  bool writeFailed = false;
  int files = 0;
  std::map<std::string, bool> folders;  // looked at or made already: true when this run made it
  kit::OutputBatch outputs;  // the files whose bytes changed, renamed into place together at the end
};

void notReproduced(Extraction& x, const PdbFile& file, const PdbRecord& r, const std::string& why) {
  std::printf("%s: record %d (%s) cannot be reproduced: %s\n", file.path.c_str(), r.index, codeText(r.code).c_str(),
              why.c_str());
  ++x.unreproducible;
}

// Notes a folder this run made: nothing stands in it yet, so no file in it is
// looked for before it is written.
void madeByThisRun(Extraction& x, const std::string& folder) {
  x.folders[folder] = true;
  x.outputs.folderIsNew(folder);
}

// Writes DIR/relative whole, creating its folder. An extraction writes
// thousands of files: they reach the disk together at the end of the run (a
// sync each would take a hundred times longer than the extraction).
// A file that already holds these bytes (an extraction run again) is left
// as it is, so that its date does not change either.
bool writeOutput(Extraction& x, const std::string& relative, const void* bytes, size_t size) {
  fs::path path = fs::path(x.dir) / fs::path(relative);
  std::error_code ec;
  const fs::path folder = path.parent_path();
  auto [seen, first] = x.folders.emplace(folder.string(), false);
  if (first && fs::create_directories(folder, ec)) madeByThisRun(x, seen->first);
  if (!seen->second && kit::fileHolds(path.string(), bytes, size)) {
    ++x.files;
    return true;
  }
  if (x.outputs.add(path.string(), bytes, size) != kit::OutputResult::written) {
    kit::reportWriteFailure(path.string());
    x.writeFailed = true;
    return false;
  }
  ++x.files;
  return true;
}
bool writeOutput(Extraction& x, const std::string& relative, const std::string& text) {
  return writeOutput(x, relative, text.data(), text.size());
}

// The folder of the n-th of count files of one list. A long list is split
// into folders of 100: creating thousands of files in one folder is slow on
// file systems whose folders are searched entry by entry.
std::string listFolder(const std::string& folder, size_t n, size_t count) {
  constexpr size_t kPerFolder = 100;
  if (count <= kPerFolder) return folder + "/";
  return folder + "/" + std::to_string(n / kPerFolder * kPerFolder) + "/";
}

// How many records from first on carry first's code.
size_t runLength(const PdbFile& f, size_t first) {
  size_t end = first;
  while (end < f.records.size() && f.records[end].code == f.records[first].code) ++end;
  return end - first;
}

// The header fields kiln always writes the same way; anything else cannot
// come from a build.
bool headerReproducible(const PdbFile& f, std::string& why) {
  const kiln::PdbHeader& h = f.header;
  if (h.creator != kCreator) why = "creator is not Tlm2";
  else if (h.attributes != kAttributes) why = "attributes are not 0x0808";
  else if (h.modified != h.created) why = "modification date differs from the creation date";
  else if (h.backedUp || h.modificationNumber || h.appInfo || h.sortInfo || h.uniqueIdSeed || h.nextRecordList)
    why = "header fields that kiln leaves zero are set";
  else if (f.records.empty() || f.records[0].code != "AU") why = "the first record is not the AU record";
  else if (f.records[0].offset != kiln::kHeaderSize + 8 * f.records.size() + 2 ||
           f.bytes[f.records[0].offset - 1] || f.bytes[f.records[0].offset - 2])
    why = "the record data does not start right after the record list and its two zero bytes";
  else {
    for (size_t i = h.name.size(); i < 32; ++i)
      if (f.bytes[i]) why = "name field holds bytes after its end";
    for (const PdbRecord& r : f.records)
      if (r.attributes || r.uniqueId) why = "record " + std::to_string(r.index) + " has attributes or a unique ID";
  }
  return why.empty();
}

using TableSource = bool (*)(const uint8_t*, size_t, std::string&, std::string&);

// One table record: its source file and its data line.
void tableRecord(Extraction& x, const PdbFile& f, const std::string& stem, const PdbRecord& r) {
  std::string text, why;
  bool ok = false;
  const std::string& c = r.code;
  if (c == "TX" || c == "TG") ok = kiln::textsSource(c, r.data, r.length, text, why);
  else if (c == "AC") {
    std::vector<uint8_t> rows = x.acRows;
    ok = kiln::acTableSource(r.data, r.length, rows, text, why);
    if (ok) x.acRows = rows;
  } else {
    static const struct { const char* code; TableSource source; } kSources[] = {
        {"OB", kiln::objectsSource}, {"HE", kiln::heroesSource},       {"SP", kiln::spellsSource},
        {"CL", kiln::classesSource}, {"MO", kiln::monstersSource},     {"MT", kiln::monsterTableSource},
    };
    for (const auto& s : kSources)
      if (c == s.code) ok = s.source(r.data, r.length, text, why);
  }
  if (!ok) return notReproduced(x, f, r, why);
  std::string name = uniqueName(x.taken, stem + "-" + std::to_string(r.index) + "-" + c, ".txt");
  if (writeOutput(x, name, text)) x.config += c + " " + name + "\n";
}

// Consecutive WA (or MP) records: one list and a file per wall (map).
size_t worldRecords(Extraction& x, const PdbFile& f, const std::string& stem, size_t first) {
  const std::string code = f.records[first].code;
  bool walls = code == "WA";
  std::string list;
  size_t count = runLength(f, first);
  size_t i = first;
  for (; i < f.records.size() && f.records[i].code == code; ++i) {
    const PdbRecord& r = f.records[i];
    std::string why, name;
    bool ok;
    if (walls) {
      std::string text;
      int number = x.wallSequence;
      ok = kiln::wallSource(r.data, r.length, "wall " + std::to_string(number), text, why);
      if (ok) {
        name = uniqueName(x.taken, listFolder("walls", i - first, count) + "wall" + std::to_string(number), ".txt");
        ok = writeOutput(x, name, text);
      }
      if (ok) list += std::to_string(x.wallSequence++) + " " + name + "\n";
    } else {
      std::vector<uint8_t> bytes;
      ok = kiln::mapSource(r.data, r.length, bytes, why);
      if (ok) {
        std::string fallback = "map" + std::to_string(x.mapSequence);
        name = uniqueName(x.taken, listFolder("maps", i - first, count) + safeName(kiln::mapName(r.data, r.length), fallback),
                          ".map");
        ok = writeOutput(x, name, bytes.data(), bytes.size());
      }
      if (ok) list += std::to_string(x.mapSequence++) + " " + name + "\n";
    }
    if (!ok && !why.empty()) notReproduced(x, f, r, why);
  }
  std::string listName = uniqueName(x.taken, stem + "-" + std::to_string(first) + "-" + code, ".txt");
  if (writeOutput(x, listName, list)) x.config += code + " " + listName + "\n";
  return i;
}

int bitmapDepth(const std::string& c) {
  if (c.size() != 2 || (c[0] != 'B' && c[0] != 'T')) return 0;
  return c[1] == '2' ? 2 : c[1] == '4' ? 4 : c[1] == '8' ? 8 : 0;
}

// The picture behind one bitmap record, or why there is none.
struct BitmapSource {
  std::string why;
  std::vector<uint8_t> bmp;
  int compressFlag = 1;
};

BitmapSource bitmapSourceOf(const Extraction& x, const PdbRecord& r, int depth) {
  BitmapSource out;
  kiln::DecodedBitmap bitmap;
  if (x.graphicsDepth && x.graphicsDepth != depth)
    out.why = "its bit depth differs from the build's first brush or tile list (" + std::to_string(x.graphicsDepth) + ")";
  else if (depth == 8 && !x.havePalette)
    out.why = "no palette comes before this 8-bit bitmap";
  else if (kiln::decodeBitmap(r.data, r.length, bitmap, out.why) && bitmap.depth != depth)
    out.why = "the bitmap's depth differs from its code's";
  else if (out.why.empty())
    kiln::bitmapSource(bitmap, x.havePalette ? &x.palette : nullptr, out.bmp, out.compressFlag, out.why);
  return out;
}

// Consecutive bitmap records of one code: one list and a picture each.
size_t bitmapRecords(Extraction& x, const PdbFile& f, const std::string& stem, size_t first) {
  const std::string code = f.records[first].code;
  int depth = bitmapDepth(code);
  std::string list;
  int entry = 0;
  size_t count = runLength(f, first);
  std::string folder = stem + "-" + std::to_string(first) + "-" + code;
  // The pictures are made a window at a time on two threads, then written
  // and reported in record order: the bulk of an extraction's work, and
  // each picture depends on its record alone.
  constexpr size_t kWindow = 128;
  std::vector<BitmapSource> sources;
  for (size_t start = first; start < first + count; start += kWindow) {
    const size_t end = std::min(first + count, start + kWindow);
    sources.assign(end - start, {});
    auto make = [&](size_t from) {
      for (size_t i = start + from; i < end; i += 2) {
        try {
          sources[i - start] = bitmapSourceOf(x, f.records[i], depth);
        } catch (const std::bad_alloc&) {
          sources[i - start].why = "out of memory";
        }
      }
    };
    std::thread other = kit::startQuietThread([&make] { make(1); });
    if (!other.joinable()) make(1);  // no second thread to be had: one does it all
    make(0);
    if (other.joinable()) other.join();
    for (size_t i = start; i < end; ++i) {
      const PdbRecord& r = f.records[i];
      const BitmapSource& source = sources[i - start];
      if (!source.why.empty()) {
        notReproduced(x, f, r, source.why);
        continue;
      }
      std::string name = uniqueName(x.taken, listFolder(folder, i - first, count) + std::to_string(r.index), ".bmp");
      if (writeOutput(x, name, source.bmp.data(), source.bmp.size()))
        list += std::to_string(entry++) + " " + name + " " + std::to_string(source.compressFlag) + "\n";
    }
  }
  x.graphicsDepth = depth;
  std::string listName = uniqueName(x.taken, stem + "-" + std::to_string(first) + "-" + code, ".txt");
  if (writeOutput(x, listName, list)) x.config += code + " " + listName + "\n";
  return first + count;
}

// PA and the five shade tables after it: one PA line and its 8-bit BMP.
size_t paletteRecords(Extraction& x, const PdbFile& f, const std::string& stem, size_t first) {
  const PdbRecord& r = f.records[first];
  static const char* const kShades[] = {"P0", "P1", "P2", "P3", "P4"};
  kiln::Palette palette{};
  std::array<kiln::ShadeTable, 5> shades{};
  std::string why;
  size_t i = first + 1;
  bool ok = kiln::decodePalette(r.data, r.length, palette, why);
  for (int s = 0; ok && s < 5; ++s, ++i) {
    if (i == f.records.size() || f.records[i].code != kShades[s]) {
      why = std::string("the palette is not followed by its shade table ") + kShades[s];
      ok = false;
    } else {
      ok = kiln::decodeShadeTable(f.records[i].data, f.records[i].length, shades[s], why);
    }
  }
  std::vector<uint8_t> bmp;
  if (ok) ok = kiln::paletteSource(palette, shades, bmp, why);
  if (!ok) {
    // The shade tables that came with it cannot be reproduced either.
    for (size_t k = first; k < i; ++k) notReproduced(x, f, f.records[k], k == first ? why : "its palette cannot be reproduced");
    return i;
  }
  x.palette = palette;
  x.havePalette = true;
  std::string name = uniqueName(x.taken, stem + "-" + std::to_string(first) + "-PA", ".bmp");
  if (writeOutput(x, name, bmp.data(), bmp.size())) x.config += "PA " + name + "\n";
  return i;
}

bool isTable(const std::string& c) {
  for (const char* t : {"TX", "TG", "OB", "HE", "SP", "CL", "MO", "MT", "AC"})
    if (c == t) return true;
  return false;
}

// A database line kiln refuses would stop the whole rebuild.
bool databaseLineAccepted(const PdbFile& f, std::string& why) {
  const kiln::PdbHeader& h = f.header;
  std::string type = fourCC(h.type);
  if (type != "TADV" && type != "TILE" && type != "WALL") why = "database type " + type + " is not TADV, TILE or WALL";
  else if (h.name.size() < 4 || h.name.size() > 32) why = "database name is not 4 to 32 characters";
  else if (type == "TADV" && (h.name.find('.') == std::string::npos || h.name.size() - h.name.find('.') - 1 != 4))
    why = "TADV database name has no 4-character game code after its first \".\"";
  else if (!kiln::configText(h.name, ":", why)) why = "database name: " + why;
  return why.empty();
}

void extractDatabase(Extraction& x, const PdbFile& f, const std::string& stem) {
  std::string why;
  if (!databaseLineAccepted(f, why)) {
    std::printf("%s: the database cannot be reproduced: %s\n", f.path.c_str(), why.c_str());
    x.config += "\n# " + stem + ": not extracted, no database line can give it\n";
    ++x.unreproducible;
    return;
  }
  if (!headerReproducible(f, why)) {
    std::printf("%s: the database cannot be reproduced: %s\n", f.path.c_str(), why.c_str());
    ++x.unreproducible;
  }
  std::string au = "AU";
  if (!f.records.empty() && f.records[0].code == "AU") {
    std::string text;
    if (kiln::authorSource(f.records[0].data, f.records[0].length, text, why)) au = text;
    else notReproduced(x, f, f.records[0], why);
  }
  const kiln::PdbHeader& h = f.header;
  x.config += "\n!" + std::string(fourCC(h.type)) + ":" + stem + ":" + h.name + ":" + au + ":" +
              std::to_string(h.version >> 8) + "." + std::to_string(h.version & 0xFF) + "\n";

  for (size_t i = f.records.empty() || f.records[0].code != "AU" ? 0 : 1; i < f.records.size();) {
    const PdbRecord& r = f.records[i];
    const std::string& c = r.code;
    if (c == "RW" || c == "RT" || c == "RE") {
      std::string line;
      if (kiln::stringSource(c, r.data, r.length, line, why)) x.config += line + "\n";
      else notReproduced(x, f, r, why);
    } else if (isTable(c)) {
      tableRecord(x, f, stem, r);
    } else if (c == "WA" || c == "MP") {
      i = worldRecords(x, f, stem, i);
      continue;
    } else if (bitmapDepth(c)) {
      i = bitmapRecords(x, f, stem, i);
      continue;
    } else if (c == "PA") {
      i = paletteRecords(x, f, stem, i);
      continue;
    } else if (c == "FN") {
      std::string text;
      if (kiln::fontSource(r.data, r.length, text, why)) {
        std::string name = uniqueName(x.taken, stem + "-" + std::to_string(r.index) + "-FN", ".txt");
        if (writeOutput(x, name, text)) x.config += "FN " + name + "\n";
      } else {
        notReproduced(x, f, r, why);
      }
    } else if (findDecoder(c)) {
      notReproduced(x, f, r, "a shade table without the palette before it");
    } else {
      notReproduced(x, f, r, "unknown code");
    }
    ++i;
  }
}

bool holdsPalette(const PdbFile& f) {
  for (const PdbRecord& r : f.records)
    if (r.code == "PA") return true;
  return false;
}

}  // namespace

int runExtract(const Args& args) {
  std::vector<std::string> inputs;
  std::string dir;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o") {
      if (i + 1 == args.size()) return usageError("-o needs a folder");
      dir = args[++i];
    } else if (!args[i].empty() && args[i][0] == '-') {
      return usageError("unknown option <" + args[i] + ">");
    } else {
      inputs.push_back(args[i]);
    }
  }
  if (inputs.empty() || dir.empty()) return usageError("extract needs database files and -o DIR");

  // kiln builds into AdventuresPath/NAME: NAME is DIR's last folder.
  fs::path folder = fs::path(dir);
  while (!folder.has_filename() && folder.has_parent_path() && folder != folder.parent_path()) folder = folder.parent_path();
  std::string adventure = folder.filename().string();
  std::string why;
  if (adventure.empty() || adventure == "." || adventure == ".." || adventure.size() > kMaxAdventureName ||
      !kiln::configText(adventure, ":", why)) {
    std::fprintf(stderr, "ERROR: the last folder of %s cannot be an adventure name (1 to 63 characters, no \":\" or \"\\\")\n",
                 dir.c_str());
    return 1;
  }
  std::error_code ec;
  const bool madeFolder = fs::create_directories(folder, ec);
  if (!fs::is_directory(folder)) {
    std::fprintf(stderr, "ERROR: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
    return 1;
  }

  int status = 0;
  std::vector<PdbFile> files;
  for (const std::string& path : inputs) {
    // A database whose record list is partly bad is not extracted: its
    // records cannot be told apart for sure.
    PdbFile f;
    int fileStatus = 0;
    if (loadDatabase(path, f, fileStatus) && fileStatus == 0) files.push_back(std::move(f));
    else if (f.bytes.size() >= kiln::kHeaderSize) std::fprintf(stderr, "ERROR: %s is not extracted\n", path.c_str());
    status |= fileStatus;
  }
  // Brushes in other databases need the palette: its databases come first.
  std::stable_partition(files.begin(), files.end(), holdsPalette);

  Extraction x;
  x.dir = folder.string();
  if (madeFolder) madeByThisRun(x, (folder / "pdbs.cfg").parent_path().string());  // as writeOutput names it
  x.taken.insert("pdbs.cfg");
  x.config = "# Extracted by unkiln: AdventuresPath=<this folder's parent> kiln -fs pdbs.cfg\n!NAME:" + adventure + "\n";
  for (const PdbFile& f : files) {
    std::string base = fs::path(f.path).filename().string();
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".pdb") == 0) base.resize(base.size() - 4);
    std::string stem = uniqueName(x.taken, safeName(base.substr(0, kMaxFileName - 10), "database"), "");
    extractDatabase(x, f, stem);
  }
  writeOutput(x, "pdbs.cfg", x.config);
  // Every file written whole goes into place, whatever failed on the way.
  if (!x.outputs.commit()) {
    kit::reportWriteFailure(x.outputs.failedPath());
    x.writeFailed = true;
  }
  if (!files.empty())
    std::printf("Extracted %zu databases into %s (%d files). Rebuild with SOURCE_DATE_EPOCH=%lld.\n", files.size(),
                x.dir.c_str(), x.files, (long long)files[0].header.created - 2082844800LL);
  if (x.writeFailed || status) return 1;
  return x.unreproducible ? 2 : 0;
}

}  // namespace unkiln
