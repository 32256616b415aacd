// velm-capture: the production rendered headless (EGL) on a virtual clock,
// written as PNG stills or as an MP4 with the music. Frame i happens at timer
// and music position i x 1000 / fps ms, so runs are reproducible.
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "app/production.h"
#include "capture/capture_options.h"
#include "engine/engine_context.h"
#include "platform/messages.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

using velm::capture::Options;

bool writePng(const std::string& path, const gfx::Readback& frame) {
  std::vector<uint8_t> rgb(static_cast<size_t>(frame.width) * frame.height * 3);
  for (size_t i = 0, n = static_cast<size_t>(frame.width) * frame.height; i < n; ++i)
    for (int c = 0; c < 3; ++c) rgb[i * 3 + c] = frame.bytes[i * 4 + c];
  return stbi_write_png(path.c_str(), static_cast<int>(frame.width), static_cast<int>(frame.height), 3, rgb.data(),
                        static_cast<int>(frame.width * 3)) != 0;
}

// Raw RGBA frames into ffmpeg, which encodes H.264 and muxes the music.
class VideoPipe {
 public:
  bool open(const Options& o) {
    std::string command = "ffmpeg -hide_banner -loglevel error -y -f rawvideo -pix_fmt rgba -s " +
                          std::to_string(o.width) + "x" + std::to_string(o.height) + " -framerate " +
                          std::to_string(o.fps) + " -i -";
    const bool music = std::filesystem::exists(velm::kMusicPath);
    if (music) command += " -i '" + std::string(velm::kMusicPath) + "' -map 0:v -map 1:a -c:a aac -b:a 192k -shortest";
    command += " -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p -movflags +faststart '" + o.videoPath + "'";
    pipe_ = popen(command.c_str(), "w");
    if (!pipe_) std::cerr << "velm-capture: cannot start ffmpeg (install the Debian package ffmpeg)\n";
    return pipe_ != nullptr;
  }
  bool write(const gfx::Readback& frame) {
    return pipe_ && std::fwrite(frame.bytes.data(), 1, frame.bytes.size(), pipe_) == frame.bytes.size();
  }
  // The encoder's exit status; 0 when the video is complete.
  int close() {
    if (!pipe_) return 1;
    const int status = pclose(pipe_);
    pipe_ = nullptr;
    return status;
  }
  ~VideoPipe() {
    if (pipe_) pclose(pipe_);
  }

 private:
  FILE* pipe_ = nullptr;
};

// One line on standard error, rewritten in place a few times a second.
class Progress {
 public:
  explicit Progress(double endSeconds) : end_(endSeconds), started_(Clock::now()), shown_(started_) {}
  void update(uint64_t frame, double musicSeconds, bool force = false) {
    const auto now = Clock::now();
    if (!force && now - shown_ < std::chrono::milliseconds(250)) return;
    shown_ = now;
    const double wall = std::chrono::duration<double>(now - started_).count();
    const double fps = wall > 0 ? static_cast<double>(frame) / wall : 0.0;
    const double rate = wall > 0 ? musicSeconds / wall : 0.0;  // music seconds per wall second
    const double left = rate > 0 ? std::max(0.0, end_ - musicSeconds) / rate : 0.0;
    std::fprintf(stderr, "\rframe %llu  music %7.2f s  %6.1f fps  %4.0f s left   ",
                 static_cast<unsigned long long>(frame), musicSeconds, fps, left);
    std::fflush(stderr);
  }
  void finish() { std::fputc('\n', stderr); }

 private:
  using Clock = std::chrono::steady_clock;
  double end_;
  Clock::time_point started_, shown_;
};

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = velm::capture::parseOptions({argv + 1, argv + argc}, &error);
  if (!options) {
    std::cerr << "velm-capture: " << error << "\n" << velm::capture::usage();
    return 2;
  }
  const Options& o = *options;
  if (!o.pngDir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(o.pngDir, ec);
    if (ec) {
      std::cerr << "velm-capture: cannot create " << o.pngDir << ": " << ec.message() << "\n";
      return 1;
    }
  }

  // Every message still reaches standard error; errors make the exit status non-zero.
  int errors = 0;
  platform::setMessageBoxHook([&](const std::string& title, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    if (title != "warning") ++errors;
  });

  VideoPipe video;
  if (!o.videoPath.empty() && !video.open(o)) return 1;

  velm::RenderWindow window;
  window.settings.width = o.width;
  window.settings.height = o.height;
  window.createHeadlessDevice();

  platform::VirtualClock clock;
  uint64_t frame = 0;
  size_t nextStill = 0;
  const double endSeconds = !o.stillTimes.empty() ? o.stillTimes.back()
                            : o.endTime            ? *o.endTime
                                                   : velm::FrameLoop::kEndMs / 1000.0;
  Progress progress(endSeconds);
  bool outputFailed = false;

  velm::ProductionSetup setup;
  setup.timer = &clock;
  setup.openMusic = [&] { return std::make_unique<platform::ClockMusic>(clock); };
  setup.beforeFrame = [&] { clock.set(static_cast<uint32_t>(frame * 1000 / o.fps)); };
  setup.afterFrame = [&](const velm::FrameLoop& loop) {
    const double music = loop.lastPositionMs / 1000.0;
    gfx::Device* device = velm::EngineContext::get().device;
    gfx::Readback pixels;
    bool more = true;
    if (!o.videoPath.empty()) {
      if (o.endTime && music >= *o.endTime) return false;
      if (failed(device->readSurface(device->backBuffer(), &pixels)) || !video.write(pixels)) {
        std::cerr << "\nvelm-capture: ffmpeg stopped taking frames\n";
        outputFailed = true;
        return false;
      }
    } else {
      while (nextStill < o.stillTimes.size() && music >= o.stillTimes[nextStill]) {
        const std::string path = velm::capture::stillPath(o.pngDir, o.stillTimes[nextStill]);
        if (pixels.bytes.empty()) device->readSurface(device->backBuffer(), &pixels);
        if (!writePng(path, pixels)) {
          std::cerr << "\nvelm-capture: cannot write " << path << "\n";
          outputFailed = true;
        }
        ++nextStill;
      }
      more = nextStill < o.stillTimes.size();
    }
    ++frame;
    progress.update(frame, music, !more);
    return more;
  };
  velm::runProduction(window, setup);
  progress.finish();

  if (!o.videoPath.empty()) {
    if (video.close() != 0) {
      std::cerr << "velm-capture: ffmpeg failed to write " << o.videoPath << "\n";
      return 1;
    }
    std::cerr << "velm-capture: wrote " << o.videoPath << " (" << frame << " frames)\n";
  } else {
    std::cerr << "velm-capture: wrote " << nextStill << " still(s) to " << o.pngDir << "\n";
    if (nextStill < o.stillTimes.size()) outputFailed = true;  // the production ended first
  }
  return errors > 0 || outputFailed ? 1 : 0;
}
