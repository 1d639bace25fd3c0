// The settings store off Windows: the [Config] section of an INI file in the
// user's configuration folder, standing in for the registry key.

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/files.h"
#include "common/ini.h"
#include "common/output_file.h"
#include "common/settings.h"

namespace kit {

namespace {

const char* const kSection = "Config";

int lastError() { return errno ? errno : EIO; }

}  // namespace

std::string settingsFilePath() {
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!(home && *home)) {
      const passwd* pw = getpwuid(getuid());
      home = pw ? pw->pw_dir : nullptr;
    }
    if (!(home && *home)) return {};
    base = std::string(home) + "/.config";
  }
  return base + "/Brindlewood/DEZARED.conf";
}

int readSetting(const char* name, char* buffer, size_t capacity) {
  if (buffer && capacity > 0) buffer[0] = '\0';
  std::string path = settingsFilePath();
  if (path.empty()) return ENOENT;
  std::vector<uint8_t> bytes;
  errno = 0;
  if (!readWholeFile(path, bytes)) return lastError();
  std::string value;
  if (!iniFind(std::string(bytes.begin(), bytes.end()), kSection, name, value)) return ENOENT;
  if (!buffer || value.size() >= capacity) return ERANGE;
  std::memcpy(buffer, value.data(), value.size());
  buffer[value.size()] = '\0';
  return 0;
}

int writeSetting(const char* name, const char* text, size_t length) {
  // A line end would split the entry; '=' in a name would change which entry
  // it is; a zero byte is no text at all.
  if (!name || !*name || std::strpbrk(name, "=\r\n")) return EINVAL;
  if (!text && length > 0) return EINVAL;
  std::string value(text ? text : "", length);
  if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return EINVAL;

  std::string path = settingsFilePath();
  if (path.empty()) return ENOENT;
  std::vector<uint8_t> bytes;
  errno = 0;
  bool existed = readWholeFile(path, bytes);
  if (!existed && errno != ENOENT) return lastError();  // never overwrite what could not be read

  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec) return ec.value();

  std::string out = iniSet(std::string(bytes.begin(), bytes.end()), kSection, name, value);
  errno = 0;
  if (writeWholeFile(path, out.data(), out.size()) != OutputResult::written) return lastError();
  return 0;
}

}  // namespace kit
