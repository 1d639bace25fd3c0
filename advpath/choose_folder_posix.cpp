// Off Windows there is no folder browser: the folder is read from the console.

#include <filesystem>
#include <system_error>

#include "advpath/choose_folder.h"
#include "common/console_choice.h"

namespace advpath {

namespace fs = std::filesystem;

int chooseFolder(const char* title, std::string& path) {
  path.clear();
  std::string line;
  if (!kit::readChoiceLine(title, line)) return 0;
  std::error_code ec;
  fs::path folder = fs::absolute(line, ec);
  if (ec || !fs::is_directory(folder, ec)) return 0;
  std::string result = folder.lexically_normal().string();
  // Stored without a trailing separator, except for the root itself.
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  if (!fs::is_directory(result, ec)) return 0;
  path = result;
  return 1;
}

}  // namespace advpath
