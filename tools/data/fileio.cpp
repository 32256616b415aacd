#include "fileio.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace velm::datagen {

void writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes) {
    const std::string temp = path + ".partial";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw std::runtime_error("cannot open " + temp + " for writing");
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) throw std::runtime_error("cannot write " + temp);
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) throw std::runtime_error("cannot rename " + temp + " to " + path + ": " + ec.message());
}

std::vector<unsigned char> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("cannot read " + path);
    return bytes;
}

}  // namespace velm::datagen
