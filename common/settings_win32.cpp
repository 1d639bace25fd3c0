// The kit's settings on Windows: string values of one registry key.
#include <windows.h>

#include "common/settings.h"

namespace kit {

namespace {
const char kKey[] = "Software\\Brindlewood\\DEZARED\\Config";
}

int readSetting(const char* name, char* buffer, size_t capacity) {
  if (capacity == 0) return ERROR_MORE_DATA;
  HKEY key;
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key);
  if (rc != ERROR_SUCCESS) return int(rc);
  DWORD size = DWORD(capacity);
  rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return int(rc);
  // A value stored without its terminating zero (as writeSetting stores it)
  // is ended inside the buffer; without room for the zero the read fails.
  if (size == 0 || buffer[size - 1] != '\0') {
    if (size >= capacity) return ERROR_MORE_DATA;
    buffer[size] = '\0';
  }
  return 0;
}

int writeSetting(const char* name, const char* text, size_t length) {
  SECURITY_ATTRIBUTES security = {sizeof security, nullptr, TRUE};
  HKEY key;
  DWORD disposition;
  char noClass[] = "";
  LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, noClass, REG_OPTION_NON_VOLATILE, KEY_WRITE, &security,
                            &key, &disposition);
  if (rc != ERROR_SUCCESS) return int(rc);
  rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), DWORD(length));
  RegCloseKey(key);
  return int(rc);
}

}  // namespace kit
