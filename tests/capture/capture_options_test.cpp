#include <gtest/gtest.h>

#include "capture/capture_options.h"

namespace velm::capture {
namespace {

TEST(CaptureOptions, ReadsStillsAndVideoRuns) {
  std::string error;
  auto stills = parseOptions({"--at", "2,1.5,170", "--png-dir", "out/s", "--size", "800x600", "--fps", "30"}, &error);
  ASSERT_TRUE(stills) << error;
  EXPECT_EQ(stills->width, 800u);
  EXPECT_EQ(stills->height, 600u);
  EXPECT_EQ(stills->fps, 30u);
  EXPECT_EQ(stills->stillTimes, (std::vector<double>{1.5, 2, 170}));
  auto video = parseOptions({"--video", "out/v.mp4", "--end", "12.5"}, &error);
  ASSERT_TRUE(video) << error;
  EXPECT_EQ(video->width, 640u);
  EXPECT_EQ(video->fps, 60u);
  EXPECT_EQ(video->endTime, 12.5);
}

TEST(CaptureOptions, RefusesMistakesWithAReason) {
  const struct {
    std::vector<std::string> args;
    const char* reason;
  } cases[] = {
      {{}, "choose either"},
      {{"--at", "1"}, "go together"},
      {{"--png-dir", "d"}, "go together"},
      {{"--at", "1", "--png-dir", "d", "--video", "v.mp4"}, "choose either"},
      {{"--video", "v.mp4", "--size", "640"}, "bad --size"},
      {{"--video", "v.mp4", "--size", "0x480"}, "bad --size"},
      {{"--video", "v.mp4", "--fps", "-3"}, "bad --fps"},
      {{"--at", "1,x", "--png-dir", "d"}, "bad time 'x'"},
      {{"--video", "v.mp4", "--bogus", "1"}, "unknown option --bogus"},
      {{"--video"}, "missing value"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(parseOptions(c.args, &error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << "got: " << error;
  }
}

TEST(CaptureOptions, StillNamesAreWholeMillisecondsInSixDigits) {
  EXPECT_EQ(stillPath("out/s", 170), "out/s/t170000.png");
  EXPECT_EQ(stillPath("d", 1.5), "d/t001500.png");
  EXPECT_EQ(stillPath("d", 0.0004), "d/t000000.png");
}

}  // namespace
}  // namespace velm::capture
