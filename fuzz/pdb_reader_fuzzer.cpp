// The database reader on any bytes, then every record it keeps through
// unkiln's decoder table, as `unkiln list` reads a database.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "kiln/pdb/pdb_reader.h"
#include "unkiln/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kiln::PdbFile file;
  std::string error;
  kiln::parsePdb(std::vector<uint8_t>(data, data + size), file, error);
  for (const kiln::PdbRecord& r : file.records) {
    if (size_t(r.offset) + r.size > file.bytes.size() || r.data + r.length > file.bytes.data() + file.bytes.size())
      kiln::fuzz::propertyFailed("a record reaches past the file");
    kiln::RecordInfo info;
    unkiln::describeRecord(r, info, error);
  }
  return 0;
}
