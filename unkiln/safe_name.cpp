#include "unkiln/safe_name.h"

#include <cctype>

namespace unkiln {

namespace {

std::string lower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool reserved(const std::string& name) {
  std::string stem = lower(name.substr(0, name.find('.')));
  static const char* const kReserved[] = {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"};
  for (const char* r : kReserved)
    if (stem == r) return true;
  return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
         std::isdigit(static_cast<unsigned char>(stem[3]));
}

}  // namespace

std::string safeName(const std::string& text, const std::string& fallback) {
  std::string name;
  for (unsigned char c : text) {
    bool keep = std::isalnum(c) && c < 0x80;
    name += keep || c == '-' || c == '_' || c == '.' ? char(c) : '_';
    if (name.size() == kMaxSafeName) break;
  }
  size_t first = name.find_first_not_of('.');
  if (first == std::string::npos) return fallback;
  name = name.substr(first, name.find_last_not_of('.') - first + 1);
  if (reserved(name)) name = "_" + name;
  return name;
}

std::string uniqueName(std::set<std::string>& taken, const std::string& stem, const std::string& extension) {
  std::string name = stem + extension;
  for (int n = 2; taken.count(lower(name)); ++n) name = stem + "-" + std::to_string(n) + extension;
  taken.insert(lower(name));
  return name;
}

bool stageNewFolder(kit::OutputBatch& outputs, const std::filesystem::path& dir) {
  std::error_code ec;
  const std::filesystem::path parent = dir.parent_path();
  if (!parent.empty() && !std::filesystem::is_directory(parent, ec) && !std::filesystem::create_directories(parent, ec))
    return false;
  return outputs.stageFolder(dir.string());
}

}  // namespace unkiln
