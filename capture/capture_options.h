// Command line of velm-capture, the offline renderer: the picture size, the
// frame rate of its virtual clock, and what to write (PNG stills at music
// times, or a video of the whole production).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velm::capture {

struct Options {
  uint32_t width = 640;
  uint32_t height = 480;
  uint32_t fps = 60;
  std::vector<double> stillTimes;  // seconds of music, ascending
  std::string pngDir;
  std::string videoPath;
  std::optional<double> endTime;  // seconds of music
};

// Parses argv[1..]; on a mistake returns nothing and says why in *error.
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string* error);
const char* usage();
// "DIR/t170000.png" for 170 s: the time in whole milliseconds, six digits.
std::string stillPath(const std::string& dir, double seconds);

}  // namespace velm::capture
