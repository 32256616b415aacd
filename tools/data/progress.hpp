// Progress lines for the data tools. On a terminal the line is redrawn in
// place; in a build log (not a terminal) only every quarter is printed.
#pragma once

#include <cstdio>
#include <string>
#include <utility>

#include <unistd.h>

namespace velm::datagen {

class Progress {
public:
    explicit Progress(std::string what) : what_(std::move(what)), tty_(isatty(fileno(stderr)) != 0) {}

    void update(double fraction) {
        const int percent = static_cast<int>(fraction * 100.0 + 0.5);
        if (tty_) {
            if (percent != last_) std::fprintf(stderr, "\r%s: %3d%%", what_.c_str(), percent);
            if (percent >= 100 && last_ < 100) std::fputc('\n', stderr);
        } else if (percent / 25 != last_ / 25 || last_ < 0) {
            std::fprintf(stderr, "%s: %d%%\n", what_.c_str(), percent);
        }
        last_ = percent;
    }

private:
    std::string what_;
    bool tty_;
    int last_ = -1;
};

}  // namespace velm::datagen
