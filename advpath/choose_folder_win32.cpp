// Choosing the adventures folder on Windows: the shell's folder browser.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <vector>

#include "advpath/choose_folder.h"

namespace advpath {

int chooseFolder(const char* title, std::string& path) {
  path.clear();
  // The browser writes up to MAX_PATH characters into the display-name
  // buffer and SHGetPathFromIDListA as many into the path buffer, so both get
  // the whole MAX_PATH: a 256-byte buffer would overflow on a long path.
  std::vector<char> buffer(MAX_PATH + 1, '\0');

  BROWSEINFOA info = {};
  info.pszDisplayName = buffer.data();
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS;

  // The shell asks for COM on the calling thread before it shows the browser.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int chosen = 0;
  if (PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info)) {
    if (SHGetPathFromIDListA(item, buffer.data())) {
      path = buffer.data();
      chosen = path.empty() ? 0 : 1;
    }
    CoTaskMemFree(item);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

}  // namespace advpath
