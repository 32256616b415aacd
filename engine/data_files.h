// The data-file cache: every texture and effect file is read once, whole, into
// memory and found again by its exact name. A name is looked for as
// "data/" + name, then as name itself. Nothing here decodes or frees a file.
#pragma once

#include <cstdint>
#include <string>

namespace velm {

struct DataFile {
  std::string name;        // as registered, without the "data/" the search adds
  uint8_t* bytes = nullptr;  // the whole file; never freed
  uint32_t size = 0;
};

// Reads the file into the cache unless an entry of that name exists. A file
// found under neither name shows "Couldn't open file!" ("error") and posts a
// quit request; no entry is added.
void registerDataFile(const std::string& name);

// Registers `name` and returns it: how every resource name is made.
std::string dataFileName(const std::string& name);

// The entry with exactly this name (byte for byte, case-sensitive), or null.
const DataFile* findDataFile(const std::string& name);

// Tests only: forgets every entry (and frees its bytes) so a test starts from
// an empty cache. The program never calls it.
void resetDataFileCacheForTesting();

}  // namespace velm
