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
#include <functional>
#include <memory>

#include "common/files.h"
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
#include "unkiln/ordered_work.h"
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
  bool staged = false;  // DIR is new: the batch makes it and everything in it
  kit::OutputBatch outputs;  // the files whose bytes changed, renamed into place together at the end
  // Makes and writes the files on workers while this thread reads on; what
  // comes of each (messages, list and configuration lines) is taken in turn.
  OrderedWork* work = nullptr;
};

// Runs then on this thread after what comes of every file queued before it.
void inTurn(Extraction& x, std::function<void()> then) { x.work->addTask(nullptr, std::move(then)); }

// Reports a record no source reproduces; in turn (from a file's result) or
// queued as one.
void notReproducedNow(Extraction& x, const PdbFile& file, const PdbRecord& r, const std::string& why) {
  std::printf("%s: record %d (%s) cannot be reproduced: %s\n", file.path.c_str(), r.index, codeText(r.code).c_str(),
              why.c_str());
  ++x.unreproducible;
}
void notReproduced(Extraction& x, const PdbFile& file, const PdbRecord& r, const std::string& why) {
  inTurn(x, [&x, &file, &r, why] { notReproducedNow(x, file, r, why); });
}
void addConfig(Extraction& x, std::string line) {
  inTurn(x, [&x, line = std::move(line)] { x.config += line; });
}

// Notes a folder this run made: nothing stands in it yet, so no file in it is
// looked for before it is written.
void madeByThisRun(Extraction& x, const std::string& folder) {
  x.folders[folder] = true;
  x.outputs.folderIsNew(folder);
}

// What a worker makes for one file: its bytes (text or binary), or why no
// source reproduces the record; then how writing it went.
struct Made {
  std::string text;
  std::vector<uint8_t> bytes;
  int compressFlag = 1;  // a bitmap's flag for its list line
  std::string why;
  bool ok = false;
  int error = 0;  // errno of a failed write
};
using Make = std::function<void(Made&)>;
using Written = std::function<void(const Made&)>;

// Where a file goes: DIR/relative, its folder made here, in turn, and
// whether this run made that folder (nothing to compare with then).
struct Target {
  std::string path;
  bool fresh;
};
Target targetOf(Extraction& x, const std::string& relative) {
  const fs::path path = fs::path(x.dir) / fs::path(relative);
  std::error_code ec;
  const fs::path folder = path.parent_path();
  auto [seen, first] = x.folders.emplace(folder.string(), x.staged);
  if (first && !x.staged && fs::create_directories(folder, ec)) madeByThisRun(x, seen->first);
  return {path.string(), seen->second};
}

// Writes a file whole, on any thread: 0, or the system's reason. An
// extraction writes thousands of files: they reach the disk together at the
// end of the run (a sync each would take a hundred times longer than the
// extraction). A file that already holds these bytes (an extraction run
// again) is left as it is, so that its date does not change either.
int store(kit::OutputBatch& outputs, const Target& target, const void* bytes, size_t size) {
  if (!target.fresh && kit::fileHolds(target.path, bytes, size)) return 0;
  return outputs.put(target.path, {{bytes, size}});
}

// In turn: counts a file written, or reports why it was not.
bool stored(Extraction& x, const Target& target, int error) {
  if (error) {
    errno = error;
    kit::reportWriteFailure(target.path);
    x.writeFailed = true;
    return false;
  }
  ++x.files;
  return true;
}

// Makes the file DIR/relative for record r (make, on a worker) and writes
// it; then, in turn, reports a record that cannot be reproduced or a failed
// write, or calls written.
void extractFile(Extraction& x, const PdbFile* f, const PdbRecord* r, const std::string& relative, Make make,
                 Written written = nullptr) {
  auto made = std::make_shared<Made>();
  auto target = std::make_shared<const Target>(targetOf(x, relative));
  x.work->addTask(
      [made, make = std::move(make), target, &outputs = x.outputs] {
        try {
          make(*made);
          if (!made->ok) return;
          made->error = made->text.empty() ? store(outputs, *target, made->bytes.data(), made->bytes.size())
                                           : store(outputs, *target, made->text.data(), made->text.size());
        } catch (const std::bad_alloc&) {
          made->ok = false;
          made->why = "out of memory";
        }
        made->text.clear();
        made->text.shrink_to_fit();
        made->bytes = {};
      },
      [&x, f, r, made, written = std::move(written), target] {
        if (!made->ok) {
          if (r) notReproducedNow(x, *f, *r, made->why);
        } else if (stored(x, *target, made->error) && written) {
          written(*made);
        }
      });
}

// A list of the files made before it, complete once their results are in:
// written then, in turn, with its data line.
void writeList(Extraction& x, const std::string& relative, std::shared_ptr<const std::string> list, std::string line) {
  inTurn(x, [&x, target = targetOf(x, relative), list, line] {
    if (stored(x, target, store(x.outputs, target, list->data(), list->size()))) x.config += line;
  });
}

// A file whose bytes are made already, here.
void writeMade(Extraction& x, const PdbFile* f, const PdbRecord* r, const std::string& relative, Made made,
               Written written = nullptr) {
  extractFile(x, f, r, relative, [made = std::move(made)](Made& m) mutable { m = std::move(made); }, std::move(written));
}
Made madeText(std::string text) {
  Made m;
  m.text = std::move(text);
  m.ok = true;
  return m;
}

// Once written, the file's data line goes into the configuration.
Written dataLine(Extraction& x, std::string line) {
  return [&x, line = std::move(line)](const Made&) { x.config += line; };
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
  const std::string& c = r.code;
  const std::string name = uniqueName(x.taken, stem + "-" + std::to_string(r.index) + "-" + c, ".txt");
  const Written line = dataLine(x, c + " " + name + "\n");
  if (c == "AC") {
    // Each AC record goes on from the rows of the one before.
    std::string text, why;
    std::vector<uint8_t> rows = x.acRows;
    if (!kiln::acTableSource(r.data, r.length, rows, text, why)) return notReproduced(x, f, r, why);
    x.acRows = rows;
    return writeMade(x, &f, &r, name, madeText(std::move(text)), line);
  }
  static const struct { const char* code; TableSource source; } kSources[] = {
      {"OB", kiln::objectsSource}, {"HE", kiln::heroesSource},       {"SP", kiln::spellsSource},
      {"CL", kiln::classesSource}, {"MO", kiln::monstersSource},     {"MT", kiln::monsterTableSource},
  };
  TableSource source = nullptr;
  for (const auto& s : kSources)
    if (c == s.code) source = s.source;
  extractFile(
      x, &f, &r, name,
      [&r, source](Made& m) {
        if (r.code == "TX" || r.code == "TG") m.ok = kiln::textsSource(r.code, r.data, r.length, m.text, m.why);
        else if (source) m.ok = source(r.data, r.length, m.text, m.why);
      },
      line);
}

// Consecutive WA (or MP) records: one list and a file per wall (map).
// A wall's number goes into its file, so its source is made here, in turn;
// only the writing goes to the workers.
size_t worldRecords(Extraction& x, const PdbFile& f, const std::string& stem, size_t first) {
  const std::string code = f.records[first].code;
  bool walls = code == "WA";
  auto list = std::make_shared<std::string>();
  size_t count = runLength(f, first);
  size_t i = first;
  for (; i < f.records.size() && f.records[i].code == code; ++i) {
    const PdbRecord& r = f.records[i];
    std::string why, name;
    Made made;
    int number;
    if (walls) {
      number = x.wallSequence;
      made.ok = kiln::wallSource(r.data, r.length, "wall " + std::to_string(number), made.text, why);
      if (made.ok) name = uniqueName(x.taken, listFolder("walls", i - first, count) + "wall" + std::to_string(number), ".txt");
    } else {
      number = x.mapSequence;
      made.ok = kiln::mapSource(r.data, r.length, made.bytes, why);
      if (made.ok)
        name = uniqueName(x.taken,
                          listFolder("maps", i - first, count) + safeName(kiln::mapName(r.data, r.length), "map" + std::to_string(number)),
                          ".map");
    }
    if (!made.ok) {
      notReproduced(x, f, r, why);
      continue;
    }
    ++(walls ? x.wallSequence : x.mapSequence);
    writeMade(x, &f, &r, name, std::move(made),
              [list, line = std::to_string(number) + " " + name + "\n"](const Made&) { *list += line; });
  }
  std::string listName = uniqueName(x.taken, stem + "-" + std::to_string(first) + "-" + code, ".txt");
  writeList(x, listName, list, code + " " + listName + "\n");
  return i;
}

int bitmapDepth(const std::string& c) {
  if (c.size() != 2 || (c[0] != 'B' && c[0] != 'T')) return 0;
  return c[1] == '2' ? 2 : c[1] == '4' ? 4 : c[1] == '8' ? 8 : 0;
}

// The picture behind one bitmap record, or why there is none.
// What making a list's pictures needs of the extraction as it stood when
// the list was reached: the workers make them while it goes on.
struct BitmapContext {
  int graphicsDepth = 0;
  bool havePalette = false;
  kiln::Palette palette{};
};

void bitmapSourceOf(const BitmapContext& x, const PdbRecord& r, int depth, Made& out) {
  kiln::DecodedBitmap bitmap;
  if (x.graphicsDepth && x.graphicsDepth != depth)
    out.why = "its bit depth differs from the build's first brush or tile list (" + std::to_string(x.graphicsDepth) + ")";
  else if (depth == 8 && !x.havePalette)
    out.why = "no palette comes before this 8-bit bitmap";
  else if (kiln::decodeBitmap(r.data, r.length, bitmap, out.why) && bitmap.depth != depth)
    out.why = "the bitmap's depth differs from its code's";
  else if (out.why.empty())
    out.ok = kiln::bitmapSource(bitmap, x.havePalette ? &x.palette : nullptr, out.bytes, out.compressFlag, out.why);
}

// Consecutive bitmap records of one code: one list and a picture each, the
// bulk of an extraction's work; each picture depends on its record alone.
size_t bitmapRecords(Extraction& x, const PdbFile& f, const std::string& stem, size_t first) {
  const std::string code = f.records[first].code;
  int depth = bitmapDepth(code);
  struct List {
    std::string text;
    int entries = 0;
  };
  auto list = std::make_shared<List>();
  size_t count = runLength(f, first);
  std::string folder = stem + "-" + std::to_string(first) + "-" + code;
  auto context = std::make_shared<const BitmapContext>(BitmapContext{x.graphicsDepth, x.havePalette, x.palette});
  for (size_t i = first; i < first + count; ++i) {
    const PdbRecord& r = f.records[i];
    std::string name = uniqueName(x.taken, listFolder(folder, i - first, count) + std::to_string(r.index), ".bmp");
    extractFile(
        x, &f, &r, name, [context, &r, depth](Made& m) { bitmapSourceOf(*context, r, depth, m); },
        [list, name](const Made& m) {
          list->text += std::to_string(list->entries++) + " " + name + " " + std::to_string(m.compressFlag) + "\n";
        });
  }
  x.graphicsDepth = depth;
  std::string listName = uniqueName(x.taken, stem + "-" + std::to_string(first) + "-" + code, ".txt");
  writeList(x, listName, std::shared_ptr<const std::string>(list, &list->text), code + " " + listName + "\n");
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
  Made made;
  if (ok) ok = kiln::paletteSource(palette, shades, made.bytes, why);
  if (!ok) {
    // The shade tables that came with it cannot be reproduced either.
    for (size_t k = first; k < i; ++k) notReproduced(x, f, f.records[k], k == first ? why : "its palette cannot be reproduced");
    return i;
  }
  x.palette = palette;
  x.havePalette = true;
  std::string name = uniqueName(x.taken, stem + "-" + std::to_string(first) + "-PA", ".bmp");
  made.ok = true;
  writeMade(x, &f, &r, name, std::move(made), dataLine(x, "PA " + name + "\n"));
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
  const auto notThisDatabase = [&x, &f](const std::string& why, std::string line) {
    inTurn(x, [&x, &f, why, line] {
      std::printf("%s: the database cannot be reproduced: %s\n", f.path.c_str(), why.c_str());
      x.config += line;
      ++x.unreproducible;
    });
  };
  if (!databaseLineAccepted(f, why)) return notThisDatabase(why, "\n# " + stem + ": not extracted, no database line can give it\n");
  if (!headerReproducible(f, why)) notThisDatabase(why, "");
  std::string au = "AU";
  if (!f.records.empty() && f.records[0].code == "AU") {
    std::string text;
    if (kiln::authorSource(f.records[0].data, f.records[0].length, text, why)) au = text;
    else notReproduced(x, f, f.records[0], why);
  }
  const kiln::PdbHeader& h = f.header;
  addConfig(x, "\n!" + std::string(fourCC(h.type)) + ":" + stem + ":" + h.name + ":" + au + ":" +
                   std::to_string(h.version >> 8) + "." + std::to_string(h.version & 0xFF) + "\n");

  for (size_t i = f.records.empty() || f.records[0].code != "AU" ? 0 : 1; i < f.records.size();) {
    const PdbRecord& r = f.records[i];
    const std::string& c = r.code;
    if (c == "RW" || c == "RT" || c == "RE") {
      std::string line;
      if (kiln::stringSource(c, r.data, r.length, line, why)) addConfig(x, line + "\n");
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
      std::string name = uniqueName(x.taken, stem + "-" + std::to_string(r.index) + "-FN", ".txt");
      extractFile(
          x, &f, &r, name, [&r](Made& m) { m.ok = kiln::fontSource(r.data, r.length, m.text, m.why); },
          dataLine(x, "FN " + name + "\n"));
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
  Extraction x;
  x.dir = folder.string();
  // A new DIR is filled under a temporary name and put in place whole at the
  // end: one rename instead of one a file.
  x.staged = stageNewFolder(x.outputs, folder);
  std::error_code ec;
  const bool madeFolder = !x.staged && fs::create_directories(folder, ec);
  if (!x.staged && !fs::is_directory(folder)) {
    std::fprintf(stderr, "ERROR: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
    return 1;
  }

  std::vector<PdbFile> files;  // before the workers, which stop before it goes
  // A thread a processor besides this one reads the databases, then makes
  // and writes files while this one reads the records on; this one takes a
  // share of their work when 512 files wait.
  OrderedWork work(OrderedWork::workersForProcessors(), 512);
  x.work = &work;
  int status = 0;
  loadDatabases(inputs, work, [&](PdbFile&& f, bool loaded, int fileStatus) {
    // A database whose record list is partly bad is not extracted: its
    // records cannot be told apart for sure.
    if (loaded && fileStatus == 0) files.push_back(std::move(f));
    else if (f.bytes.size() >= kiln::kHeaderSize) std::fprintf(stderr, "ERROR: %s is not extracted\n", f.path.c_str());
    status |= fileStatus;
  });
  // Brushes in other databases need the palette: its databases come first.
  std::stable_partition(files.begin(), files.end(), holdsPalette);

  if (madeFolder) madeByThisRun(x, (folder / "pdbs.cfg").parent_path().string());  // as targetOf names it
  x.taken.insert("pdbs.cfg");
  x.config = "# Extracted by unkiln: AdventuresPath=<this folder's parent> kiln -fs pdbs.cfg\n!NAME:" + adventure + "\n";
  for (const PdbFile& f : files) {
    std::string base = fs::path(f.path).filename().string();
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".pdb") == 0) base.resize(base.size() - 4);
    std::string stem = uniqueName(x.taken, safeName(base.substr(0, kMaxFileName - 10), "database"), "");
    extractDatabase(x, f, stem);
  }
  work.settle();
  writeMade(x, nullptr, nullptr, "pdbs.cfg", madeText(x.config));
  work.settle();
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
