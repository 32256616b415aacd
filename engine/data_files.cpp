#include "engine/data_files.h"

#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>
#include <deque>

#include "platform/messages.h"

namespace velm {
namespace {

// Created on first use, in registration order; lives until the process ends.
// A deque, so entries found earlier stay where they are when more are added.
std::deque<DataFile>& cache() {
  static auto* entries = new std::deque<DataFile>();
  return *entries;
}

// Reads a whole regular file. Directories, unreadable files and files too big
// for a 32-bit size count as files that cannot be opened.
bool readWholeFile(const std::string& path, DataFile* out) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(file) : -1;
  ok = ok && size >= 0 && static_cast<unsigned long>(size) <= std::numeric_limits<uint32_t>::max() &&
       std::fseek(file, 0, SEEK_SET) == 0;
  std::unique_ptr<uint8_t[]> bytes;
  if (ok) {
    bytes.reset(new uint8_t[static_cast<size_t>(size)]);
    ok = std::fread(bytes.get(), 1, static_cast<size_t>(size), file) == static_cast<size_t>(size);
  }
  std::fclose(file);
  if (!ok) return false;
  out->bytes = bytes.release();
  out->size = static_cast<uint32_t>(size);
  return true;
}

}  // namespace

void registerDataFile(const std::string& name) {
  if (findDataFile(name)) return;
  DataFile entry;
  entry.name = name;
  if (!readWholeFile("data/" + name, &entry) && !readWholeFile(name, &entry)) {
    platform::showMessageBox("error", "Couldn't open file!");
    platform::postQuitMessage();
    return;
  }
  cache().push_back(std::move(entry));
}

std::string dataFileName(const std::string& name) {
  registerDataFile(name);
  return name;
}

const DataFile* findDataFile(const std::string& name) {
  for (const DataFile& entry : cache())
    if (entry.name == name) return &entry;
  return nullptr;
}

void resetDataFileCacheForTesting() {
  for (DataFile& entry : cache()) delete[] entry.bytes;
  cache().clear();
}

}  // namespace velm
