// Stand-in settings store (environment only) until the INI store lands; to be removed.
#include "common/settings.h"
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <iostream>
namespace kit {
int readSetting(const char*, char*, size_t) { return 2; }
int writeSetting(const char*, const char*, size_t) { return 0; }
int lookupSetting(const char* name, char* b, size_t c) { const char* v = getenv(name); if (!v) return readSetting(name,b,c); if (strlen(v)+1 > c) return 234; strcpy(b,v); return 0; }
int chooseOpenFile(const char*, std::string*, const char*, const char*, std::string& chosen) { chosen.clear(); return 0; }
std::string settingsFilePath() { return ""; }
}
