#pragma once
// The tables of plain numbers: CL (classes), MT (monster table), AC.

#include <cstdint>
#include <string>
#include <vector>

#include "kiln/pdb/record_info.h"

namespace kiln {

bool describeClasses(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                     std::string& error);
bool describeMonsterTable(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                          std::string& error);
bool describeAcTable(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                     std::string& error);

// The tables that compile to exactly these records.
bool classesSource(const uint8_t* data, size_t length, std::string& text, std::string& why);
bool monsterTableSource(const uint8_t* data, size_t length, std::string& text, std::string& why);
// AC rows run on across the AC lines of a build: rows holds the rows of the
// AC records before this one (32 bytes each), which the record must repeat;
// the source holds only the new rows, and rows becomes this record's.
bool acTableSource(const uint8_t* data, size_t length, std::vector<uint8_t>& rows, std::string& text,
                   std::string& why);

}  // namespace kiln
