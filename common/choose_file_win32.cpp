// Choosing a file on Windows: the common open-file dialog.
#include <windows.h>
#include <commdlg.h>

#include <vector>

#include "common/settings.h"

namespace kit {

int chooseOpenFile(const char* defaultExtension, std::string* folder, const char* title, const char* filter,
                   std::string& chosenPath) {
  // "Description^pattern^..." becomes the dialog's list of zero-ended pairs,
  // closed by an empty string.
  std::string filters = filter ? filter : "All Files (*.*)^*.*^";
  for (char& c : filters)
    if (c == '^') c = '\0';
  filters.push_back('\0');

  chosenPath.clear();
  // Room for long paths: the dialog hands back whatever the system allows.
  std::vector<char> file(32768, '\0');
  std::vector<char> fileTitle(32768, '\0');
  std::string initialFolder = folder ? *folder : std::string();

  OPENFILENAMEA ofn = {};
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hwndOwner = nullptr;
  ofn.lpstrFilter = filters.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = DWORD(file.size());
  ofn.lpstrFileTitle = fileTitle.data();
  ofn.nMaxFileTitle = DWORD(fileTitle.size());
  // An empty folder (none stored yet) leaves the choice to the system.
  ofn.lpstrInitialDir = initialFolder.empty() ? nullptr : initialFolder.c_str();
  ofn.lpstrTitle = title;
  ofn.lpstrDefExt = defaultExtension;
  ofn.Flags = OFN_EXPLORER;

  BOOL chosen = GetOpenFileNameA(&ofn);
  if (chosen) {
    chosenPath = file.data();
    // The folder of the chosen file, without its trailing separator (C: for C:\pdbs.cfg).
    if (folder && ofn.nFileOffset > 1) *folder = chosenPath.substr(0, ofn.nFileOffset - 1);
  }
  return chosen;
}

}  // namespace kit
