#pragma once
// Which decoder reads which record code, like kiln's dispatch table.

#include <cstddef>
#include <cstdint>
#include <string>

#include "kiln/pdb/pdb_reader.h"
#include "kiln/pdb/record_info.h"

namespace unkiln {

using Describe = bool (*)(const std::string& code, const uint8_t* data, size_t length, kiln::RecordInfo& info,
                          std::string& error);

struct DecoderEntry {
  const char* code;
  Describe describe;
};

// The decoder of a record code, or null for a code kiln never writes.
Describe findDecoder(const std::string& code);

// A code as the listing shows it: its two characters when they are printable,
// else their bytes in hex ("0x0001").
std::string codeText(const std::string& code);

// Decodes one record; false with the reason for a damaged record, a record
// too short for a code, or an unknown code (whose bytes are then given as hex).
// slices: a record of thousands of entries may give them a slice at a time
// (kiln::RecordInfo::entries).
bool describeRecord(const kiln::PdbRecord& record, kiln::RecordInfo& info, std::string& error, bool slices = false);

}  // namespace unkiln
