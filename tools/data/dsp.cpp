#include "dsp.hpp"

namespace velm::datagen::dsp {

namespace {
// Delay lengths in samples at 44.1 kHz, mutually prime-ish so the echoes of
// the combs do not pile up on one another.
constexpr int kCombLengths[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr int kAllPassLengths[4] = {556, 441, 341, 225};
constexpr int kStereoSpread = 23;
constexpr float kAllPassGain = 0.5f;
}  // namespace

Reverb::Reverb(double roomSize, double damping)
    : feedback_(static_cast<float>(roomSize)), damp_(static_cast<float>(damping)) {
    for (int ch = 0; ch < 2; ++ch) {
        for (int len : kCombLengths) {
            Comb c;
            c.buf.assign(static_cast<std::size_t>(len + ch * kStereoSpread), 0.0f);
            combs_[ch].push_back(std::move(c));
        }
        for (int len : kAllPassLengths) {
            AllPass a;
            a.buf.assign(static_cast<std::size_t>(len + ch * kStereoSpread), 0.0f);
            allPasses_[ch].push_back(std::move(a));
        }
    }
}

void Reverb::process(std::vector<float>& left, std::vector<float>& right) {
    const std::size_t n = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < n; ++i) {
        const float mono = 0.5f * (left[i] + right[i]);
        float* io[2] = {&left[i], &right[i]};
        for (int ch = 0; ch < 2; ++ch) {
            // Mostly the mono sum, so both sides ring with the whole picture.
            const float x = mono * 0.6f + *io[ch] * 0.4f;
            float acc = 0.0f;
            for (Comb& c : combs_[ch]) {
                const float y = c.buf[c.pos];
                c.store = y * (1.0f - damp_) + c.store * damp_;
                c.buf[c.pos] = x + c.store * feedback_;
                if (++c.pos == c.buf.size()) c.pos = 0;
                acc += y;
            }
            for (AllPass& a : allPasses_[ch]) {
                const float b = a.buf[a.pos];
                a.buf[a.pos] = acc + b * kAllPassGain;
                acc = b - acc;
                if (++a.pos == a.buf.size()) a.pos = 0;
            }
            *io[ch] = acc;
        }
    }
}

void pingPongDelay(const std::vector<float>& inL, const std::vector<float>& inR, std::vector<float>& outL,
                   std::vector<float>& outR, double delaySeconds, double feedback, double toneHz) {
    const std::size_t len = static_cast<std::size_t>(std::lround(delaySeconds * kRate));
    std::vector<float> lineL(len, 0.0f), lineR(len, 0.0f);
    std::size_t pos = 0;
    const double a = 1.0 - std::exp(-kTwoPi * toneHz / kRate);
    double lpL = 0.0, lpR = 0.0;
    for (std::size_t i = 0; i < inL.size(); ++i) {
        const double dl = lineL[pos], dr = lineR[pos];
        lpL += a * (dl - lpL);
        lpR += a * (dr - lpR);
        // The input enters on the left; each echo crosses to the other side.
        lineL[pos] = static_cast<float>(0.5 * (inL[i] + inR[i]) + feedback * lpR);
        lineR[pos] = static_cast<float>(feedback * lpL);
        outL[i] += static_cast<float>(dl);
        outR[i] += static_cast<float>(dr);
        if (++pos == len) pos = 0;
    }
}

LimiterResult limit(std::vector<float>& left, std::vector<float>& right, double ceiling, double lookahead,
                    double release) {
    const std::size_t n = std::min(left.size(), right.size());
    const std::size_t window = std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(lookahead * kRate)));
    const double recover = std::exp(-1.0 / (release * kRate));
    // The gain sample j needs on its own.
    const auto need = [&](std::size_t j) {
        const double peak = std::max(std::abs(left[j]), std::abs(right[j]));
        return peak > ceiling ? ceiling / peak : 1.0;
    };
    // held[j]: the smallest need over the last `window` samples, falling at
    // once and recovering slowly; so held[j] <= need[j'] for j' in
    // (j - window, j]. A monotonic queue of (index, need) finds the minimum.
    std::vector<std::pair<std::size_t, double>> queue(window + 1);
    std::size_t qHead = 0, qSize = 0;
    // The gain of sample i is the mean of held[i .. i + window - 1]: a mean
    // of values that are each no larger than what sample i needs, and it
    // moves without steps. Those values wait in a ring.
    std::vector<double> ring(window, 0.0);
    double sum = 0.0;
    double previous = 1.0;
    LimiterResult result;
    const auto apply = [&](std::size_t i, double gain) {
        left[i] = static_cast<float>(left[i] * gain);
        right[i] = static_cast<float>(right[i] * gain);
        if (gain < result.deepestGain) {
            result.deepestGain = gain;
            result.deepestAt = i;
        }
    };
    for (std::size_t j = 0; j < n; ++j) {
        const double nj = need(j);
        while (qSize > 0 && queue[(qHead + qSize - 1) % queue.size()].second >= nj) --qSize;
        queue[(qHead + qSize) % queue.size()] = {j, nj};
        ++qSize;
        if (queue[qHead].first + window <= j) {
            qHead = (qHead + 1) % queue.size();
            --qSize;
        }
        previous = std::min(queue[qHead].second, 1.0 - (1.0 - previous) * recover);
        sum += previous - ring[j % window];
        ring[j % window] = previous;
        if (j + 1 >= window) apply(j + 1 - window, sum / static_cast<double>(window));
    }
    // The last samples average over what is left of their window.
    for (std::size_t i = n >= window ? n - window + 1 : 0; i < n; ++i) {
        double tail = 0.0;
        for (std::size_t j = i; j < n; ++j) tail += ring[j % window];
        apply(i, tail / static_cast<double>(n - i));
    }
    return result;
}

}  // namespace velm::datagen::dsp
