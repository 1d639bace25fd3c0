#pragma once
// A scratch adventures folder "adv" holding the adventure "Quest", on which
// the tests run kiln as an author does, and a reader for the databases it writes.

#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "tests/program.h"

namespace kit::testing {

struct Adventure {
  Scratch s;
  std::string adv = s.path("adv");
  std::string quest = adv + "/Quest";

  Adventure() { std::filesystem::create_directories(quest); }

  // Copies files or folders of the sample adventure (examples/Quest) into Quest.
  void copySample(std::initializer_list<const char*> names) const {
    for (const char* name : names)
      std::filesystem::copy(sourcePath(std::string("examples/Quest/") + name), quest + "/" + name,
                            std::filesystem::copy_options::recursive);
  }

  // Writes a file below Quest and returns its path.
  std::string write(const std::string& name, const std::string& text) const {
    return s.write("adv/Quest/" + name, text);
  }
  std::string write(const std::string& name, const Bytes& bytes) const { return s.write("adv/Quest/" + name, bytes); }

  // kiln with the adventures folder in the environment, no pause and fixed dates.
  Result kiln(const std::vector<std::string>& args, std::map<std::string, std::string> env = {},
              const std::string& input = "") const {
    env.emplace("AdventuresPath", adv);
    env.emplace("TMIIDEV", "");
    env.emplace("SOURCE_DATE_EPOCH", "0");
    return run("kiln", args, s.root.string(), env, input);
  }

  // Writes Quest/pdbs.cfg and builds it with -fs and the given options.
  Result build(const std::string& config, std::vector<std::string> options = {}) const {
    options.push_back("-fs");
    options.push_back(write("pdbs.cfg", config));
    return kiln(options);
  }

  std::string path(const std::string& name) const { return quest + "/" + name; }
};

inline uint32_t be32(const Bytes& b, size_t at) {
  return uint32_t(b.at(at)) << 24 | uint32_t(b.at(at + 1)) << 16 | uint32_t(b.at(at + 2)) << 8 | b.at(at + 3);
}
inline uint16_t be16(const Bytes& b, size_t at) { return uint16_t(b.at(at) << 8 | b.at(at + 1)); }

// The stored records of a database file: code, data and padding of each.
inline std::vector<Bytes> pdbRecords(const Bytes& file) {
  std::vector<Bytes> out;
  if (file.size() < 78) return out;
  size_t n = be16(file, 76);
  for (size_t i = 0; i < n; ++i) {
    size_t start = be32(file, 78 + 8 * i);
    size_t end = i + 1 < n ? be32(file, 78 + 8 * (i + 1)) : file.size();
    if (start > end || end > file.size()) {
      ADD_FAILURE() << "record " << i << " lies outside the file";
      break;
    }
    out.emplace_back(file.begin() + start, file.begin() + end);
  }
  return out;
}
inline std::vector<Bytes> pdbRecords(const std::string& path) { return pdbRecords(readBytes(path)); }

inline std::string recordCode(const Bytes& record) { return std::string(record.begin(), record.begin() + 2); }

}  // namespace kit::testing
