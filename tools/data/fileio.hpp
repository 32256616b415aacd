// File helpers shared by the data tools.
#pragma once

#include <string>
#include <vector>

namespace velm::datagen {

// Writes bytes to `path` through a temporary file and a rename, so an
// interrupted run never leaves a truncated output behind. Throws
// std::runtime_error naming the path on failure.
void writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes);

// Reads a whole file. Throws std::runtime_error naming the path on failure.
std::vector<unsigned char> readWholeFile(const std::string& path);

}  // namespace velm::datagen
