// unkiln list and show.

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "kiln/pdb/pdb.h"
#include "unkiln/commands.h"
#include "unkiln/decoders.h"
#include "unkiln/node_print.h"

namespace unkiln {

using kiln::Node;
using kiln::PdbFile;
using kiln::PdbRecord;
using kiln::RecordInfo;

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(long long z, int& y, unsigned& m, unsigned& d) {
  z += 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  unsigned doe = unsigned(z - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long year = (long long)yoe + era * 400;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = int(year + (m <= 2));
}

// "WA wall: ..." becomes "WA wall 3: ...".
std::string numbered(const std::string& summary, const std::string& prefix, int number) {
  if (summary.compare(0, prefix.size(), prefix) != 0) return summary;
  return prefix + " " + std::to_string(number) + summary.substr(prefix.size());
}

void printHeaderText(const PdbFile& file) {
  std::printf("%s\n", file.path.c_str());
  printText(stdout, headerNode(file), 2);
}

}  // namespace

std::string isoDate(uint32_t palmSeconds) {
  long long t = (long long)palmSeconds - 2082844800LL;
  long long days = t >= 0 ? t / 86400 : -((-t + 86399) / 86400);
  long long rest = t - days * 86400;
  int y;
  unsigned m, d;
  civilFromDays(days, y, m, d);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", y, m, d, int(rest / 3600), int(rest / 60 % 60),
                int(rest % 60));
  return text;
}

std::string fourCC(uint32_t value) {
  std::string text;
  bool printable = true;
  for (int shift = 24; shift >= 0; shift -= 8) {
    char c = char(value >> shift);
    printable = printable && c >= 0x20 && c < 0x7F;
    text += c;
  }
  if (printable) return text;
  char hex[12];
  std::snprintf(hex, sizeof hex, "0x%08X", value);
  return hex;
}

Node headerNode(const PdbFile& file) {
  const kiln::PdbHeader& h = file.header;
  char attributes[12];
  std::snprintf(attributes, sizeof attributes, "0x%04X", h.attributes);
  return Node::object()
      .add("name", Node::str(h.name))
      .add("type", Node::str(fourCC(h.type)))
      .add("creator", Node::str(fourCC(h.creator)))
      .add("version", Node::str(std::to_string(h.version >> 8) + "." + std::to_string(h.version & 0xFF)))
      .add("attributes", Node::str(attributes))
      .add("created", Node::str(isoDate(h.created)))
      .add("modified", Node::str(isoDate(h.modified)))
      .add("records", Node::num(h.recordCount));
}

void reportRecord(const PdbFile& file, const PdbRecord& record, const std::string& error) {
  std::fprintf(stderr, "ERROR: %s: record %d at offset %u: %s\n", file.path.c_str(), record.index, record.offset,
               error.c_str());
}

namespace {
// What a database read comes to: its message when not sound, and whether
// its sound records may be used.
bool reportRead(const std::string& path, const PdbFile& file, bool sound, const std::string& error, int& status) {
  if (sound) return true;
  std::fprintf(stderr, "ERROR: %s: %s\n", path.c_str(), error.c_str());
  status = 1;
  return file.bytes.size() >= kiln::kHeaderSize;
}
}  // namespace

bool loadDatabase(const std::string& path, PdbFile& file, int& status) {
  std::string error;
  const bool sound = kiln::readPdb(path, file, error);
  return reportRead(path, file, sound, error, status);
}

void loadDatabases(const Args& paths, OrderedWork& work,
                   const std::function<void(PdbFile&& file, bool loaded, int status)>& take) {
  struct Read {
    PdbFile file;
    std::string error;
    bool sound = false;
  };
  for (const std::string& path : paths) {
    auto read = std::make_shared<Read>();
    work.addTask([read, path] { read->sound = kiln::readPdb(path, read->file, read->error); },
                 [read, path, &take] {
                   int status = 0;
                   const bool loaded = reportRead(path, read->file, read->sound, read->error, status);
                   take(std::move(read->file), loaded, status);
                 });
  }
  work.settle();
}

int runList(const Args& args) {
  if (args.empty()) return usageError("list needs at least one database file");
  int status = 0;
  bool first = true;
  // Walls and maps are numbered across the lists of a build, as kiln counts them.
  int walls = 0, maps = 0;
  for (const std::string& path : args) {
    PdbFile file;
    if (!first) std::printf("\n");
    first = false;
    if (!loadDatabase(path, file, status)) continue;
    printHeaderText(file);
    std::printf("  %5s %10s %8s  %-6s %s\n", "index", "offset", "size", "code", "summary");
    for (const PdbRecord& r : file.records) {
      RecordInfo info;
      std::string error;
      bool ok = describeRecord(r, info, error);
      if (!ok) {
        reportRecord(file, r, error);
        status = 1;
      }
      std::string summary = ok ? info.summary : "damaged: " + error;
      if (ok && r.code == "WA") summary = numbered(summary, "WA wall", walls++);
      if (ok && r.code == "MP") summary = numbered(summary, "MP map", maps++);
      std::printf("  %5d %10u %8u  %-6s %s\n", r.index, r.offset, r.size, codeText(r.code).c_str(), summary.c_str());
    }
  }
  return status;
}

int runShow(const Args& args) {
  std::string path;
  long long onlyIndex = -1;
  std::string onlyCode;
  bool json = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "-r" || a == "-c") {
      if (i + 1 == args.size()) return usageError(a + " needs a value");
      const std::string& v = args[++i];
      if (a == "-c") {
        onlyCode = v;
        continue;
      }
      char* end = nullptr;
      onlyIndex = std::strtoll(v.c_str(), &end, 10);
      if (v.empty() || *end || onlyIndex < 0 || onlyIndex > 65535)
        return usageError("-r needs a record index (from 0): <" + v + ">");
    } else if (!a.empty() && a[0] == '-') {
      return usageError("unknown option <" + a + ">");
    } else if (path.empty()) {
      path = a;
    } else {
      return usageError("show reads one database file");
    }
  }
  if (path.empty()) return usageError("show needs a database file");

  int status = 0;
  PdbFile file;
  if (!loadDatabase(path, file, status)) return status;
  if (onlyIndex >= 0 && size_t(onlyIndex) >= file.records.size()) {
    std::fprintf(stderr, "ERROR: %s has no record %lld (it has %zu)\n", path.c_str(), onlyIndex, file.records.size());
    return 1;
  }
  Node records = Node::list();
  if (!json) printHeaderText(file);
  for (const PdbRecord& r : file.records) {
    if (onlyIndex >= 0 && r.index != onlyIndex) continue;
    if (!onlyCode.empty() && r.code != onlyCode) continue;
    RecordInfo info;
    std::string error;
    bool ok = describeRecord(r, info, error);
    if (!ok) {
      reportRecord(file, r, error);
      status = 1;
    }
    if (json) {
      Node n = Node::object()
                   .add("index", Node::num(r.index))
                   .add("offset", Node::num(r.offset))
                   .add("size", Node::num(r.size))
                   .add("code", Node::str(codeText(r.code)));
      if (ok) n.add("summary", Node::str(info.summary)).add("fields", info.fields);
      else n.add("error", Node::str(error));
      records.push(std::move(n));
      continue;
    }
    std::printf("\nrecord %d  offset %u  size %u  %s\n", r.index, r.offset, r.size,
                ok ? info.summary.c_str() : ("damaged: " + error).c_str());
    if (ok) printText(stdout, info.fields, 2);
  }
  if (json) {
    Node doc = Node::object()
                   .add("file", Node::str(path))
                   .add("header", headerNode(file))
                   .add("records", std::move(records));
    printJson(stdout, doc);
    std::printf("\n");
  }
  return status;
}

}  // namespace unkiln
