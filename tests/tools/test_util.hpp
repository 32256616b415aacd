// Helpers shared by the data tool tests.
#pragma once

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velm::datagen::test {

inline constexpr int kRate = 44100;
inline constexpr double kBinHz = kRate / 2048.0;       // 21.5 Hz
inline constexpr double kBandHz = kRate / 2.0 / 64.0;  // 344.5 Hz

inline double bandCentre(int band) { return (band + 0.5) * kBandHz; }

// Interleaved stereo sine with the given amplitude on each side.
inline std::vector<float> stereoSine(double hz, std::size_t frames, double left, double right) {
    std::vector<float> out(2 * frames);
    for (std::size_t n = 0; n < frames; ++n) {
        const double v = std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(n) / kRate);
        out[2 * n] = static_cast<float>(left * v);
        out[2 * n + 1] = static_cast<float>(right * v);
    }
    return out;
}

// A fresh directory under the system's temporary directory, removed again
// when the object goes.
class TempDir {
public:
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("velm-datagen-" + std::string(info->test_suite_name()) + "-" + info->name());
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace velm::datagen::test
