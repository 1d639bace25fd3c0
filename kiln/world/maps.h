#pragma once

#include <cstddef>
#include <string>

#include "kiln/build_paths.h"
#include "kiln/pdb/pdb.h"
#include "kiln/world/world_state.h"

namespace kiln {

constexpr size_t kMapHeaderSize = 56;      // header at the front of a map record
constexpr size_t kMapSpecialSize = 6;
constexpr int32_t kMapVersion = 2;
constexpr unsigned kMaxSpecialCode = 32767;  // the device takes the length as signed

// MP: compiles every map file of the maps list at path, one record each.
int compileMaps(const BuildPaths& paths, WorldState& world, const std::string& path, const char* code, Database& db);

// Compiles one binary map file into one record of db.
int compileMap(const std::string& path, Database& db, const char* code);

}  // namespace kiln
