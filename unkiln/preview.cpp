// unkiln preview: every picture of the databases as a PNG, and index.html.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <thread>

#include "common/files.h"
#include "common/quiet_thread.h"
#include "kiln/graphics/bitmap_decode.h"
#include "kiln/graphics/font_decode.h"
#include "kiln/graphics/palette.h"
#include "kiln/graphics/palette_decode.h"
#include "unkiln/commands.h"
#include "unkiln/decoders.h"
#include "unkiln/preview_image.h"
#include "unkiln/preview_page.h"
#include "unkiln/preview_writer.h"
#include "unkiln/safe_name.h"

namespace unkiln {

namespace fs = std::filesystem;
using kiln::PdbFile;
using kiln::PdbRecord;

namespace {

constexpr int kMaxScale = 16;
constexpr int kSheetWidth = 1024;          // a contact sheet's rows, before scaling
constexpr size_t kMaxPixels = 1u << 25;    // a scaled picture larger than this is written smaller

bool isBitmapCode(const std::string& code) {
  return code.size() == 2 && (code[0] == 'B' || code[0] == 'T') && (code[1] == '2' || code[1] == '4' || code[1] == '8');
}

// A palette and, when the five records after its PA are P0 to P4, its shade tables.
struct PaletteSet {
  bool have = false, haveShades = false;
  kiln::Palette palette{};
  std::array<kiln::ShadeTable, 5> shades{};
};

// The palette of the PA record at index i of f; false when it is damaged.
bool paletteAt(const PdbFile& f, size_t i, PaletteSet& out) {
  std::string error;
  out = PaletteSet{};
  const PdbRecord& r = f.records[i];
  if (!kiln::decodePalette(r.data, r.length, out.palette, error)) return false;
  out.have = true;
  out.haveShades = i + 5 < f.records.size();
  for (size_t s = 0; s < 5 && out.haveShades; ++s) {
    const PdbRecord& t = f.records[i + 1 + s];
    out.haveShades = t.code == kiln::kShadeCodes[s] && kiln::decodeShadeTable(t.data, t.length, out.shades[s], error);
  }
  return true;
}

bool firstPalette(const PdbFile& f, PaletteSet& out) {
  for (size_t i = 0; i < f.records.size(); ++i)
    if (f.records[i].code == "PA" && paletteAt(f, i, out)) return true;
  return false;
}

struct Preview {
  fs::path dir;
  int scale = 1;
  std::set<std::string> taken;  // file names written, in lower case
  int status = 0;
  int files = 0;
  // Thousands of pictures: they reach the disk together at the end, not one
  // sync at a time.
  kit::OutputBatch outputs;
  PictureWriter* writer = nullptr;
  std::function<void()> betweenRecords;  // gives the page's sections that are ready to be made
};

// A record's message, after those of the pictures before it.
void report(Preview& p, const PdbFile& f, const PdbRecord& r, const std::string& error) {
  p.writer->settle();
  reportRecord(f, r, error);
  p.status = 1;
}

// A file that could not be written (errno says why): named, and the run fails.
void writeFailed(Preview& p, const std::string& path) {
  kit::reportWriteFailure(path);
  p.status = 1;
}

// In turn: counts a file written, or reports why it was not (error).
bool written(Preview& p, const std::string& path, int error) {
  if (error) {
    errno = error;
    writeFailed(p, path);
    return false;
  }
  ++p.files;
  return true;
}

// A big sheet at a big scale would take gigabytes: such a picture gets the
// largest scale that keeps it within kMaxPixels.
int fileScale(const Picture& image, int scale) {
  const size_t pixels = size_t(image.width()) * size_t(image.height());
  while (scale > 1 && pixels * size_t(scale) * size_t(scale) > kMaxPixels) --scale;
  return scale;
}

// Where the page shows a picture written: filled in once it is written.
using Slot = std::function<PagePicture&()>;

// Writes image, enlarged to the preview's scale, as stem.png on a worker
// thread; slot shows it on the page once it is written.
void writePng(Preview& p, const std::string& stem, std::shared_ptr<const Picture> image, Slot slot) {
  const int scale = fileScale(*image, p.scale);
  const std::string name = uniqueName(p.taken, stem, ".png");
  const std::string path = (p.dir / name).string();
  const PagePicture picture{name, image->width() * scale, image->height() * scale};
  p.writer->add(path, std::move(image), scale, [&p, path, picture, slot](int error) {
    if (written(p, path, error)) slot() = picture;
  });
}

std::shared_ptr<const Picture> shared(Picture picture) {
  return std::make_shared<const Picture>(std::move(picture));
}

bool samePalette(const PaletteSet& a, const PaletteSet& b) {
  return std::memcmp(a.palette.data(), b.palette.data(), sizeof a.palette) == 0 && a.shades == b.shades;
}

// 8-bit bitmaps in record order that are drawn with one palette and its shades.
struct ShadeGroup {
  PaletteSet palette;
  std::vector<kiln::DecodedBitmap> bitmaps;
  std::vector<size_t> rows;  // their rows of the page
};

// A group's sheets, made on a worker: the names are taken in turn, the rest
// is filled in there.
struct SheetJob {
  ShadeGroup group;
  bool withContactSheet = false;
  std::vector<std::string> names;  // the contact sheet's first when it is one of them, then P0 to P4
  std::vector<Placement> placements;
  int width = 0, height = 0, scale = 1;
  std::vector<size_t> shownBy;  // each name's file: its own, or an earlier one of the same colours
  std::vector<int> errors;      // errno of each file, 0 when written
};

void drawSheets(SheetJob& job, kit::OutputBatch& outputs, const fs::path& dir, int scale) {
  const size_t n = job.names.size();
  job.shownBy.resize(n);
  for (size_t i = 0; i < n; ++i) job.shownBy[i] = i;
  job.errors.assign(n, 0);
  try {
    std::vector<const kiln::DecodedBitmap*> bitmaps;
    for (const auto& b : job.group.bitmaps) bitmaps.push_back(&b);
    std::vector<const kiln::ShadeTable*> tables;
    if (job.withContactSheet) tables.push_back(nullptr);
    for (const auto& t : job.group.palette.shades) tables.push_back(&t);
    SheetVariants v = sheetVariants(bitmaps, job.group.palette.palette, tables, kSheetWidth);
    job.group.bitmaps = {};
    job.placements = std::move(v.placements);
    const Picture& first = v.apart.empty() ? v.pixels : v.apart.front();
    job.width = first.width();
    job.height = first.height();
    job.scale = fileScale(first, scale);
    const auto put = [&](size_t i, const std::vector<kit::OutputBatch::Piece>& pieces) {
      job.errors[i] = outputs.put((dir / job.names[i]).string(), pieces);
    };
    if (!v.apart.empty()) {
      for (size_t i = 0; i < n; ++i) {
        const std::vector<uint8_t> png = encodePng(job.scale > 1 ? enlarged(v.apart[i], job.scale) : v.apart[i]);
        put(i, {{png.data(), png.size()}});
      }
      return;
    }
    // The files differ only in their colours: the rows are compressed once.
    const Indexed big = job.scale > 1 ? enlarged(v.pixels.indexed, job.scale) : Indexed{};
    const Indexed& image = job.scale > 1 ? big : v.pixels.indexed;
    const std::vector<uint8_t> rows = idatChunk(compressedRows(image));
    std::vector<size_t> files;  // those of colours of their own
    for (size_t i = 0; i < n; ++i) {
      size_t same = 0;
      while (same < i && v.colours[same] != v.colours[i]) ++same;
      job.shownBy[i] = same;
      if (same == i) files.push_back(i);
    }
    // Five files of megabytes each: on two processors at once when there
    // are two, as this is often the last work of the preview.
    const auto writeEvery = [&](size_t first, size_t step) {
      for (size_t f = first; f < files.size(); f += step) {
        try {
          const std::vector<uint8_t> head = pngHead(image, v.colours[files[f]]);
          put(files[f], {{head.data(), head.size()}, {rows.data(), rows.size()}, {pngTail().data(), pngTail().size()}});
        } catch (const std::bad_alloc&) {
          job.errors[files[f]] = ENOMEM;
        }
      }
    };
    std::thread other;
    if (files.size() > 1 && rows.size() > (size_t(1) << 20) && kit::usableProcessors() > 1)
      other = kit::startQuietThread([&writeEvery] { writeEvery(1, 2); });
    writeEvery(0, other.joinable() ? 2 : 1);
    if (other.joinable()) other.join();
  } catch (const std::bad_alloc&) {
    for (size_t i = 0; i < n; ++i) job.shownBy[i] = i;
    job.errors.assign(n, ENOMEM);
  }
}

// Writes each group's five shade sheets, and the contact sheet as a sixth
// with the same pixels when the one group holds every bitmap drawn. Laying
// out, drawing, compressing and writing the sheets of 2,000 brushes takes
// as long as drawing hundreds of them, so it is done on a worker while the
// drawing goes on; their places and files reach the page in turn.
void writeShadeSheets(Preview& p, const std::string& stem, std::vector<ShadeGroup>& groups, bool withContactSheet,
                      PageDatabase& page) {
  for (size_t g = 0; g < groups.size(); ++g) {
    auto job = std::make_shared<SheetJob>();
    job->group = std::move(groups[g]);
    job->withContactSheet = withContactSheet;
    std::vector<Slot> slots;
    if (withContactSheet) {
      job->names.push_back(uniqueName(p.taken, stem + "-sheet", ".png"));
      slots.push_back([&page]() -> PagePicture& { return page.sheet; });
    }
    const size_t k = page.shadeSets.size();
    page.shadeSets.emplace_back();
    const std::string name = stem + "-shades" + (g ? std::to_string(g + 1) : "");
    for (int s = 0; s < 5; ++s) {
      job->names.push_back(uniqueName(p.taken, name + "-P" + std::to_string(s), ".png"));
      slots.push_back([&page, k, s]() -> PagePicture& { return page.shadeSets[k].sheets[s]; });
    }
    p.writer->addTask([job, &p] { drawSheets(*job, p.outputs, p.dir, p.scale); },
                      [job, &p, &page, k, slots] {
                        ShadeSheets& set = page.shadeSets[k];
                        set.width = job->width;
                        set.height = job->height;
                        for (size_t j = 0; j < job->group.rows.size() && j < job->placements.size(); ++j) {
                          PageRecord& row = page.records[job->group.rows[j]];
                          row.shadeSet = int(k);
                          row.shadeX = job->placements[j].x;
                          row.shadeY = job->placements[j].y;
                        }
                        for (size_t i = 0; i < job->names.size(); ++i) {
                          const size_t file = job->shownBy[i];
                          const bool shown = file == i ? written(p, (p.dir / job->names[i]).string(), job->errors[i])
                                                       : job->errors[file] == 0;
                          if (shown)
                            slots[i]() = PagePicture{job->names[file], job->width * job->scale, job->height * job->scale};
                        }
                      });
  }
}

// A table record's summary and fields, described on a worker: a table of
// thousands of entries takes longer than many pictures, which are drawn
// meanwhile. Its message, if damaged, comes in its turn.
void describeTable(Preview& p, const PdbFile& f, const PdbRecord& r, PageDatabase& page, size_t n) {
  struct Described {
    bool ok = false;
    std::string summary, error, fields;
  };
  auto d = std::make_shared<Described>();
  p.writer->addTask(
      [&r, d] {
        try {
          kiln::RecordInfo info;
          d->ok = describeRecord(r, info, d->error, true);
          d->summary = d->ok || !info.summary.empty() ? info.summary : "damaged";
          if (d->ok) d->fields = fieldsHtml(info);
        } catch (const std::bad_alloc&) {
          d->ok = false;
          d->summary = "not described";
          d->error = "not enough memory to describe it";
        }
      },
      [&p, &f, &r, &page, n, d] {
        PageRecord& row = page.records[n];
        row.summary = std::move(d->summary);
        row.fields = std::move(d->fields);
        if (!d->ok) {
          reportRecord(f, r, d->error);
          p.status = 1;
          row.error = std::move(d->error);
        }
      });
}

void previewDatabase(Preview& p, const PdbFile& f, const std::string& stem, const PaletteSet& outside,
                     PageDatabase& page) {
  page.header = headerNode(f);
  PaletteSet latest, own;
  firstPalette(f, own);
  std::vector<std::shared_ptr<const Picture>> drawn;  // the bitmaps, for the contact sheet
  std::vector<ShadeGroup> groups;
  for (size_t i = 0; i < f.records.size(); ++i) {
    if (p.betweenRecords) p.betweenRecords();
    const PdbRecord& r = f.records[i];
    // A row a record; its pictures are filled in by index when written.
    const size_t n = page.records.size();
    PageRecord& row = page.records.emplace_back();
    row.index = r.index;
    row.offset = r.offset;
    row.size = r.size;
    row.code = codeText(r.code);
    const std::string prefix = stem + "-" + std::to_string(r.index) + "-" + r.code;
    std::string error;

    if (isBitmapCode(r.code)) {
      kiln::DecodedBitmap b;
      if (!kiln::decodeBitmap(r.data, r.length, b, error)) {
        report(p, f, r, error);
        row.summary = "damaged";
        row.error = error;
        continue;
      }
      row.summary = kiln::bitmapSummary(r.code, b);
      row.picture = true;
      row.width = b.width;
      row.height = b.height;
      row.depth = b.depth;
      row.masked = b.masked;
      row.compressed = b.compressed;
      row.storedSize = b.storedSize;
      row.unpackedSize = b.unpackedSize;
      const PaletteSet* palette = latest.have ? &latest : own.have ? &own : outside.have ? &outside : nullptr;
      if (b.depth == 8 && !palette) {
        row.error = "an 8-bit bitmap needs a palette: none of the databases holds a PA record; give one with "
                    "--palette PAL.pdb";
        report(p, f, r, row.error);
      } else {
        drawn.push_back(shared(drawPicture(b, palette ? &palette->palette : nullptr)));
        writePng(p, prefix, drawn.back(), [&page, n]() -> PagePicture& { return page.records[n].image; });
        if (b.depth == 8 && palette->haveShades) {
          if (groups.empty() || !samePalette(groups.back().palette, *palette)) groups.push_back({*palette, {}, {}});
          groups.back().rows.push_back(n);
          groups.back().bitmaps.push_back(std::move(b));
        }
      }
      continue;
    }

    const bool drawnHere = r.code == "PA" || r.code == "FN" ||
                           (r.code.size() == 2 && r.code[0] == 'P' && r.code[1] >= '0' && r.code[1] <= '4');
    if (!drawnHere) {
      describeTable(p, f, r, page, n);
      continue;
    }
    kiln::RecordInfo info;
    const bool ok = describeRecord(r, info, error);
    row.summary = ok ? info.summary : info.summary.empty() ? "damaged" : info.summary;
    if (!ok) {
      report(p, f, r, error);
      row.error = error;
    } else if (r.code == "PA") {
      paletteAt(f, i, latest);
      page.paletteRecords.push_back(r.index);
      const size_t k = page.palettes.size();
      page.palettes.emplace_back();
      page.shades.emplace_back();
      writePng(p, prefix, shared(pictureOf(paletteSwatch(latest.palette))),
               [&page, k]() -> PagePicture& { return page.palettes[k]; });
      if (latest.haveShades)
        writePng(p, prefix + "-shades", shared(pictureOf(shadeSwatch(latest.palette, latest.shades))),
                 [&page, k]() -> PagePicture& { return page.shades[k]; });
    } else if (r.code == "FN") {
      std::vector<uint32_t> words;
      kiln::decodeFont(r.data, r.length, words, error);
      page.fontRecords.push_back(r.index);
      const size_t k = page.fonts.size();
      page.fonts.emplace_back();
      writePng(p, prefix, shared(pictureOf(fontSheet(words))), [&page, k]() -> PagePicture& { return page.fonts[k]; });
    }
    // P0 to P4 are shown with their palette.
  }

  // One group of every bitmap drawn: the contact sheet has the shade sheets'
  // pixels, through the palette itself.
  const bool sheetShared = groups.size() == 1 && groups.front().bitmaps.size() == drawn.size();
  writeShadeSheets(p, stem, groups, sheetShared, page);
  if (!drawn.empty() && !sheetShared) {
    std::vector<const Picture*> pictures;
    for (const auto& d : drawn) pictures.push_back(d.get());
    std::vector<Placement> placements;
    Picture sheet = contactSheet(pictures, kSheetWidth, placements);
    drawn.clear();
    writePng(p, stem + "-sheet", shared(std::move(sheet)), [&page]() -> PagePicture& { return page.sheet; });
  }
}

// index.html, written section by section: a database's section is made on
// a worker once all the work of the database is in, and added to the file
// in turn. The page of an adventure's tables (18 MB for the benchmark's) is
// then on its way to the disk while the pictures after it are drawn, not
// all made and written at the end.
class PageWriter {
 public:
  PageWriter(Preview& preview, std::vector<PageDatabase>& databases) : p(preview), pages(databases) {}
  PageWriter(const PageWriter&) = delete;
  PageWriter& operator=(const PageWriter&) = delete;
  ~PageWriter() { stopAppending(); }

  // Once the databases are known: the file and its head. The sections are
  // added by a thread of their own: megabytes of them would hold up the
  // drawing thread, which gives the workers their work.
  void start(int scale) {
    file_ = p.outputs.open((p.dir / "index.html").string());
    std::vector<std::string> names;
    for (const PageDatabase& d : pages) names.push_back(d.file);
    const std::string head = pageHead(names, scale);
    p.outputs.append(*file_, {{head.data(), head.size()}});
    appender_ = kit::startQuietThread([this] { appendQueued(); });
  }

  // Comes in turn after all the work of the database just given.
  void databaseGiven() {
    p.writer->addTask(nullptr, [this] { ++ready_; });
  }

  void giveReady() {
    for (; given_ < ready_; ++given_) {
      const size_t n = given_;
      auto text = std::make_shared<std::string>();
      p.writer->addTask(
          [this, n, text] {
            try {
              *text = pageSection(pages[n], n);
            } catch (const std::bad_alloc&) {
              outOfMemory_ = true;
            }
            // The fields are on the page now: their memory goes back.
            for (PageRecord& r : pages[n].records) std::string().swap(r.fields);
          },
          [this, text] { append(text); });
    }
  }

  // Once every database was given: the last sections, the end, and the file
  // counted or reported.
  void finish() {
    p.writer->settle();
    giveReady();
    p.writer->settle();
    stopAppending();
    const std::string path = (p.dir / "index.html").string();
    if (outOfMemory_) {
      file_.reset();  // a page without a section is not left behind
      written(p, path, ENOMEM);
      return;
    }
    p.outputs.append(*file_, {{pageEnd(), std::strlen(pageEnd())}});
    written(p, path, p.outputs.close(std::move(file_)));
  }

 private:
  // In turn: the section goes to the appending thread, or is added here
  // when there is none.
  void append(std::shared_ptr<std::string> text) {
    if (!appender_.joinable()) {
      p.outputs.append(*file_, {{text->data(), text->size()}});
      return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(text));
    wake_.notify_one();
  }

  void appendQueued() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;  // stopping, and all added
      std::shared_ptr<std::string> text = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      p.outputs.append(*file_, {{text->data(), text->size()}});
      text.reset();
      lock.lock();
    }
  }

  void stopAppending() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    if (appender_.joinable()) appender_.join();
  }

  Preview& p;
  std::vector<PageDatabase>& pages;
  std::unique_ptr<kit::OutputBatch::Stream> file_;
  size_t ready_ = 0, given_ = 0;  // databases whose work is all in; sections given to the workers
  std::thread appender_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<std::string>> queue_;
  bool stopping_ = false;
  std::atomic<bool> outOfMemory_{false};
};

}  // namespace

int runPreview(const Args& args) {
  std::vector<std::string> inputs;
  std::string dir, palettePath;
  int scale = 1;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-o" || a == "--scale" || a == "--palette") {
      if (i + 1 == args.size()) return usageError(a + " needs a value");
      const std::string& value = args[++i];
      if (a == "-o") {
        dir = value;
      } else if (a == "--palette") {
        palettePath = value;
      } else {
        char* end = nullptr;
        long n = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end || n < 1 || n > kMaxScale)
          return usageError("--scale takes a whole number from 1 to 16, not <" + value + ">");
        scale = int(n);
      }
    } else if (!a.empty() && a[0] == '-') {
      return usageError("unknown option <" + a + ">");
    } else {
      inputs.push_back(a);
    }
  }
  if (inputs.empty() || dir.empty()) return usageError("preview needs database files and -o DIR");

  Preview p;
  p.dir = fs::path(dir);
  p.scale = scale;
  std::error_code ec;
  // A new DIR is filled under a temporary name and put in place whole at the
  // end: one rename instead of one a file.
  const bool staged = stageNewFolder(p.outputs, p.dir);
  if (!staged && fs::create_directories(p.dir, ec)) p.outputs.folderIsNew((p.dir / "index.html").parent_path().string());
  if (!staged && !fs::is_directory(p.dir)) {
    std::fprintf(stderr, "ERROR: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
    return 1;
  }
  p.taken.insert("index.html");

  // A thread a processor besides this one reads the databases, then
  // describes tables, encodes and writes while this one draws; this one
  // takes a share of their work when 1,024 pieces of it wait.
  // Declared before the workers, which stop before they go.
  std::vector<PdbFile> files;
  std::vector<PageDatabase> pages;
  PageWriter page(p, pages);
  PictureWriter writer(p.outputs, OrderedWork::workersForProcessors(), 1024);
  p.writer = &writer;
  loadDatabases(inputs, writer, [&](PdbFile&& f, bool loaded, int status) {
    if (loaded) files.push_back(std::move(f));
    p.status |= status;
  });
  PaletteSet given;
  if (!palettePath.empty()) {
    PdbFile f;
    if (loadDatabase(palettePath, f, p.status) && !firstPalette(f, given)) {
      std::fprintf(stderr, "ERROR: %s holds no readable palette (PA record)\n", palettePath.c_str());
      p.status = 1;
    }
  }

  pages.resize(files.size());
  for (size_t n = 0; n < files.size(); ++n) pages[n].file = fs::path(files[n].path).filename().string();
  page.start(scale);
  p.betweenRecords = [&page] { page.giveReady(); };
  for (size_t n = 0; n < files.size(); ++n) {
    // Bitmaps of a database without a palette are drawn with the first
    // palette of the others, else the one given.
    PaletteSet outside;
    for (size_t o = 0; o < files.size() && !outside.have; ++o)
      if (o != n) firstPalette(files[o], outside);
    if (!outside.have) outside = given;
    std::string base = fs::path(files[n].path).filename().string();
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".pdb") == 0) base.resize(base.size() - 4);
    const std::string stem = uniqueName(p.taken, safeName(base, "database"), "");
    previewDatabase(p, files[n], stem, outside, pages[n]);
    page.databaseGiven();
  }
  page.finish();
  p.betweenRecords = nullptr;
  if (!p.outputs.commit()) writeFailed(p, p.outputs.failedPath());
  std::printf("Previewed %zu database%s into %s (%d file%s): open %s\n", files.size(), files.size() == 1 ? "" : "s",
              p.dir.string().c_str(), p.files, p.files == 1 ? "" : "s",
              (p.dir / "index.html").string().c_str());
  return p.status;
}

}  // namespace unkiln
