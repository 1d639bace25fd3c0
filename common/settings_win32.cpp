// The kit's settings on Windows: string values of one registry key.
#include <windows.h>

#include <string>

#include "common/settings.h"

namespace kit {

namespace {
const char kKey[] = "Software\\Brindlewood\\DEZARED\\Config";
}

int readSetting(const char* name, char* buffer, size_t capacity) {
  if (!buffer || capacity == 0) return ERROR_MORE_DATA;
  buffer[0] = '\0';
  HKEY key;
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key);
  if (rc != ERROR_SUCCESS) return int(rc);
  // The registry counts in 32 bits; a larger buffer is only partly offered.
  DWORD room = capacity > MAXDWORD ? MAXDWORD : DWORD(capacity);
  DWORD size = room;
  rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size);
  RegCloseKey(key);
  if (rc == ERROR_SUCCESS && size > room) rc = ERROR_MORE_DATA;
  // A value stored without its terminating zero (as writeSetting stores it)
  // is ended inside the buffer; without room for the zero the read fails.
  if (rc == ERROR_SUCCESS && (size == 0 || buffer[size - 1] != '\0')) {
    if (size >= room)
      rc = ERROR_MORE_DATA;
    else
      buffer[size] = '\0';
  }
  if (rc != ERROR_SUCCESS) buffer[0] = '\0';  // never a partial value
  return int(rc);
}

int writeSetting(const char* name, const char* text, size_t length) {
  if ((!text && length > 0) || length > MAXDWORD) return ERROR_INVALID_PARAMETER;
  // RegSetValueExA looks at the byte after the text, to count a zero that the
  // caller left out; the copy makes that byte exist and be zero.
  std::string value(text ? text : "", length);
  SECURITY_ATTRIBUTES security = {sizeof security, nullptr, TRUE};
  HKEY key;
  DWORD disposition;
  char noClass[] = "";
  LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, noClass, REG_OPTION_NON_VOLATILE, KEY_WRITE, &security,
                            &key, &disposition);
  if (rc != ERROR_SUCCESS) return int(rc);
  rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(length));
  RegCloseKey(key);
  return int(rc);
}

}  // namespace kit
