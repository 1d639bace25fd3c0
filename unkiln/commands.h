#pragma once
// unkiln's commands. Each takes the arguments after its name and returns the
// exit status: 0 success, 1 a file or record that could not be read, 2 (for
// extract) records that no source reproduces.

#include <functional>
#include <string>
#include <vector>

#include "kiln/pdb/pdb_reader.h"
#include "kiln/pdb/record_info.h"
#include "unkiln/ordered_work.h"

namespace unkiln {

using Args = std::vector<std::string>;

int runList(const Args& args);
int runShow(const Args& args);
int runExtract(const Args& args);
int runPreview(const Args& args);

// Prints "ERROR: text" and the usage; status 1.
int usageError(const std::string& text);

// A database date (seconds since 1904-01-01) as ISO 8601 in UTC.
std::string isoDate(uint32_t palmSeconds);
// A four-character code as text ("TADV"), or hex when it is not printable.
std::string fourCC(uint32_t value);

// The header of a database as fields.
kiln::Node headerNode(const kiln::PdbFile& file);

// Reads a database named on the command line; a file that cannot be read
// at all is reported and gives false. A file whose record list is partly bad
// is reported and gives true, with its sound records.
bool loadDatabase(const std::string& path, kiln::PdbFile& file, int& status);
// Reads the databases named on the command line several at a time, on
// work's threads, and hands each to take in the order given, after its
// message, with what loadDatabase would have returned and its status.
void loadDatabases(const Args& paths, OrderedWork& work,
                   const std::function<void(kiln::PdbFile&& file, bool loaded, int status)>& take);

// Reports a damaged record on standard error: file, index, offset, reason.
void reportRecord(const kiln::PdbFile& file, const kiln::PdbRecord& record, const std::string& error);

}  // namespace unkiln
