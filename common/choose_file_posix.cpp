// Choosing the configuration file off Windows, where there is no common
// dialog: the name is read from the console instead.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/console_choice.h"
#include "common/settings.h"

namespace kit {

namespace fs = std::filesystem;

bool readChoiceLine(const char* title, std::string& line) {
  line.clear();
  if (isatty(STDIN_FILENO)) {
    std::fprintf(stderr, "%s: ", title ? title : "Open");
    std::fflush(stderr);
  }
  int c;
  while ((c = std::fgetc(stdin)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return !line.empty();
}

std::string chosenFilePath(const std::string& typed, const char* defaultExtension,
                           const std::string* folder) {
  fs::path p(typed);
  if (p.is_relative()) {
    fs::path base;
    if (folder && !folder->empty()) {
      base = *folder;
    }
    if (base.is_relative()) {
      std::error_code ec;
      fs::path cwd = fs::current_path(ec);
      if (ec) return {};
      base = cwd / base;
    }
    p = base / p;
  }
  p = p.lexically_normal();
  std::string result = p.string();
  std::string name = p.filename().string();
  // ".cfg" alone is a hidden file's name, not an extension.
  bool hasExtension = name.find('.', 1) != std::string::npos;
  if (!name.empty() && !hasExtension && defaultExtension && *defaultExtension)
    result += std::string(".") + defaultExtension;
  return result;
}

std::string chosenFileFolder(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : path.substr(0, slash);
}

int chooseOpenFile(const char* defaultExtension, std::string* folder, const char* title,
                   const char* /*filter: a console has no file types to pick from*/,
                   std::string& chosenPath) {
  chosenPath.clear();
  std::string line;
  if (!readChoiceLine(title, line)) return 0;
  chosenPath = chosenFilePath(line, defaultExtension, folder);
  if (chosenPath.empty()) return 0;
  if (folder) *folder = chosenFileFolder(chosenPath);
  return 1;
}

}  // namespace kit
