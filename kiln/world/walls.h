#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kiln/build_paths.h"
#include "kiln/pdb/pdb.h"
#include "kiln/world/world_state.h"

namespace kiln {

constexpr size_t kWallHeaderSize = 20;      // record bytes before the brush entries
constexpr size_t kBrushEntrySize = 10;
constexpr size_t kWallAttrEntrySize = 69;   // one wall in wallattr.bin
constexpr size_t kWallNameField = 64;
constexpr int kWallViews = 10;
constexpr int kMaxWallBrushes = 255;        // the count and view starts are single bytes

// WA: compiles every wall file of the walls list at path, one record each,
// and writes wallattr.bin in the adventures folder with one entry per wall of
// the list.
int compileWalls(const BuildPaths& paths, WorldState& world, const std::string& path, const char* code, Database& db);

// Compiles one wall file: adds its record to db and appends its wallattr.bin
// entry to wallAttributes.
int compileWall(const std::string& path, Database& db, std::vector<uint8_t>& wallAttributes, const char* code);

}  // namespace kiln
