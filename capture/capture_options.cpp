#include "capture/capture_options.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace velm::capture {
namespace {

bool parseNumber(const std::string& text, double* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(v) || v < 0) return false;
  *out = v;
  return true;
}

bool parsePositive(const std::string& text, uint32_t* out) {
  double v = 0;
  if (!parseNumber(text, &v) || v < 1 || v > 16384 || v != std::floor(v)) return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

}  // namespace

const char* usage() {
  return "usage: velm-capture [--size WxH] [--fps N] (--at T1,T2,... --png-dir DIR | --video FILE.mp4 [--end T])\n"
         "  Renders the production headless on a virtual clock: frame i is at i x 1000 / N ms.\n"
         "  --size WxH     picture size (default 640x480)\n"
         "  --fps N        frames per second of music time (default 60)\n"
         "  --at T,...     music times in seconds; writes DIR/t<ms, 6 digits>.png for each, then stops\n"
         "  --png-dir DIR  where the stills go (created if missing)\n"
         "  --video FILE   the whole production as H.264 with the music, through ffmpeg\n"
         "  --end T        stop at music time T seconds\n"
         "  Run it from the repository root (it reads data/).\n";
}

std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string* error) {
  Options o;
  auto fail = [&](const std::string& why) -> std::optional<Options> {
    if (error) *error = why;
    return std::nullopt;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (i + 1 >= args.size()) return fail("missing value after " + a);
    const std::string& value = args[++i];
    if (a == "--size") {
      const size_t x = value.find('x');
      if (x == std::string::npos || !parsePositive(value.substr(0, x), &o.width) ||
          !parsePositive(value.substr(x + 1), &o.height))
        return fail("bad --size '" + value + "' (expected WxH, e.g. 640x480)");
    } else if (a == "--fps") {
      if (!parsePositive(value, &o.fps) || o.fps > 1000) return fail("bad --fps '" + value + "'");
    } else if (a == "--at") {
      std::stringstream list(value);
      for (std::string item; std::getline(list, item, ',');) {
        double t = 0;
        if (!parseNumber(item, &t)) return fail("bad time '" + item + "' in --at");
        o.stillTimes.push_back(t);
      }
      if (o.stillTimes.empty()) return fail("--at needs at least one time");
      std::sort(o.stillTimes.begin(), o.stillTimes.end());
    } else if (a == "--png-dir") {
      o.pngDir = value;
    } else if (a == "--video") {
      o.videoPath = value;
    } else if (a == "--end") {
      double t = 0;
      if (!parseNumber(value, &t)) return fail("bad --end '" + value + "'");
      o.endTime = t;
    } else {
      return fail("unknown option " + a);
    }
  }
  const bool stills = !o.stillTimes.empty() || !o.pngDir.empty();
  if (stills && (o.stillTimes.empty() || o.pngDir.empty())) return fail("--at and --png-dir go together");
  if (stills == !o.videoPath.empty()) return fail("choose either stills (--at, --png-dir) or --video");
  return o;
}

std::string stillPath(const std::string& dir, double seconds) {
  char name[32];
  std::snprintf(name, sizeof name, "t%06lld.png", static_cast<long long>(std::llround(seconds * 1000.0)));
  return dir + "/" + name;
}

}  // namespace velm::capture
