#include "mp3.hpp"

#include <lame/lame.h>
#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace velm::datagen {

namespace {

struct LameDeleter {
    void operator()(lame_global_flags* g) const { lame_close(g); }
};

struct Mpg123Deleter {
    void operator()(mpg123_handle* h) const {
        mpg123_close(h);
        mpg123_delete(h);
    }
};

// mpg123 reports problems through the handle; keep its words in our message.
[[noreturn]] void mpgFail(const std::string& path, mpg123_handle* h, int err) {
    const char* why = h ? mpg123_strerror(h) : mpg123_plain_strerror(err);
    throw std::runtime_error("cannot decode " + path + ": " + (why ? why : "unknown mpg123 error"));
}

}  // namespace

std::vector<unsigned char> encodeMp3(const std::vector<float>& interleaved, const Mp3Settings& settings,
                                     ProgressFn onProgress) {
    std::unique_ptr<lame_global_flags, LameDeleter> lame(lame_init());
    if (!lame) throw std::runtime_error("LAME: cannot create an encoder");
    lame_global_flags* g = lame.get();
    lame_set_num_channels(g, 2);
    lame_set_in_samplerate(g, settings.sampleRate);
    lame_set_out_samplerate(g, settings.sampleRate);
    lame_set_mode(g, JOINT_STEREO);
    lame_set_VBR(g, vbr_off);
    lame_set_brate(g, settings.bitrateKbps);
    lame_set_quality(g, settings.quality);
    lame_set_bWriteVbrTag(g, 1);  // the Info frame carries delay and padding for gapless playback
    lame_set_write_id3tag_automatic(g, 0);
    if (lame_init_params(g) < 0) throw std::runtime_error("LAME: the encoder rejected the settings");

    std::vector<unsigned char> out;
    const std::size_t frames = interleaved.size() / 2;
    const std::size_t chunk = 8192;
    // Worst case output size for a chunk, from lame.h: 1.25 * samples + 7200.
    std::vector<unsigned char> buf(chunk * 5 / 4 + 7200);
    for (std::size_t pos = 0; pos < frames; pos += chunk) {
        const std::size_t n = std::min(chunk, frames - pos);
        const int got = lame_encode_buffer_interleaved_ieee_float(g, interleaved.data() + 2 * pos,
                                                                  static_cast<int>(n), buf.data(),
                                                                  static_cast<int>(buf.size()));
        if (got < 0) throw std::runtime_error("LAME: encoding failed (code " + std::to_string(got) + ")");
        out.insert(out.end(), buf.begin(), buf.begin() + got);
        if (onProgress && (pos / chunk) % 64 == 0) onProgress(static_cast<double>(pos + n) / frames);
    }
    const int tail = lame_encode_flush(g, buf.data(), static_cast<int>(buf.size()));
    if (tail < 0) throw std::runtime_error("LAME: flushing the encoder failed");
    out.insert(out.end(), buf.begin(), buf.begin() + tail);

    // The first frame of the stream was reserved for the Info tag; now that
    // the totals are known, write its final contents over it.
    std::vector<unsigned char> tag(4096);
    const std::size_t tagSize = lame_get_lametag_frame(g, tag.data(), tag.size());
    if (tagSize == 0 || tagSize > tag.size() || tagSize > out.size())
        throw std::runtime_error("LAME: no Info tag frame was produced");
    std::copy(tag.begin(), tag.begin() + static_cast<std::ptrdiff_t>(tagSize), out.begin());
    if (onProgress) onProgress(1.0);
    return out;
}

std::uint64_t DecodedAudio::lengthMs() const {
    if (sampleRate <= 0) return 0;
    return (static_cast<std::uint64_t>(frames()) * 1000 + static_cast<std::uint64_t>(sampleRate) - 1) /
           static_cast<std::uint64_t>(sampleRate);
}

DecodedAudio decodeMp3(const std::string& path) {
    int err = MPG123_OK;
    mpg123_init();  // a no-op in current libmpg123, required by older ones
    std::unique_ptr<mpg123_handle, Mpg123Deleter> handle(mpg123_new("generic", &err));
    if (!handle) handle.reset(mpg123_new(nullptr, &err));
    if (!handle) mpgFail(path, nullptr, err);
    mpg123_handle* h = handle.get();
    mpg123_param(h, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET | MPG123_FORCE_STEREO, 0.0);
    mpg123_format_none(h);
    if (mpg123_format(h, 44100, MPG123_STEREO, MPG123_ENC_FLOAT_32) != MPG123_OK) mpgFail(path, h, err);
    if (mpg123_open(h, path.c_str()) != MPG123_OK) mpgFail(path, h, err);

    DecodedAudio audio;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(h, &rate, &channels, &encoding) != MPG123_OK) mpgFail(path, h, err);
    if (rate != 44100 || channels != 2 || encoding != MPG123_ENC_FLOAT_32)
        throw std::runtime_error("cannot decode " + path + ": it is not 44.1 kHz audio");
    audio.sampleRate = static_cast<int>(rate);

    std::vector<unsigned char> buf(1 << 16);
    for (;;) {
        std::size_t done = 0;
        const int rc = mpg123_read(h, buf.data(), buf.size(), &done);
        const std::size_t floats = done / sizeof(float);
        const std::size_t old = audio.interleaved.size();
        audio.interleaved.resize(old + floats);
        std::memcpy(audio.interleaved.data() + old, buf.data(), floats * sizeof(float));
        if (rc == MPG123_DONE) break;
        if (rc == MPG123_NEW_FORMAT) continue;
        if (rc != MPG123_OK) mpgFail(path, h, rc);
    }
    if (audio.interleaved.empty()) throw std::runtime_error("cannot decode " + path + ": no audio in the file");
    return audio;
}

}  // namespace velm::datagen
