// Runs the real velm-capture program headless and checks what a viewer would
// notice in its stills.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/image.h"

namespace {

int run(const std::string& arguments) {
  const std::string command = std::string("'") + VELM_CAPTURE_BIN + "' " + arguments + " 2>/dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

platform::DecodedImage load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  platform::DecodedImage image;
  EXPECT_TRUE(platform::decodeImage(bytes.data(), bytes.size(), &image, nullptr)) << path;
  return image;
}

TEST(CaptureRun, StillsShowTheLetterboxBars) {
  const std::string dir = ::testing::TempDir() + "velm-capture-stills";
  std::filesystem::remove_all(dir);
  ASSERT_EQ(run("--at 1,2 --png-dir '" + dir + "'"), 0);
  for (const char* name : {"t001000.png", "t002000.png"}) {
    const platform::DecodedImage image = load(dir + "/" + name);
    ASSERT_EQ(image.width, 640u);
    ASSERT_EQ(image.height, 480u);
    // 640 x 480 shows the 16:9 picture in rows 60 to 418; the rest is black.
    for (uint32_t y : {0u, 30u, 59u, 419u, 450u, 479u})
      for (uint32_t x = 0; x < 640; x += 7) {
        const uint8_t* p = &image.rgba[(static_cast<size_t>(y) * 640 + x) * 4];
        ASSERT_TRUE(p[0] == 0 && p[1] == 0 && p[2] == 0) << name << " row " << y << " column " << x;
      }
  }
}

TEST(CaptureRun, BadOptionsPrintUsageAndExitWith2) {
  EXPECT_EQ(run("--size nonsense --video x.mp4"), 2);
  EXPECT_EQ(run(""), 2);
}

}  // namespace
