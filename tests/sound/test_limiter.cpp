// The limiter on the mixed stream: loud sums are held under the ceiling, the rest passes as it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "sound/Limiter.h"

namespace blubbi {
namespace {

constexpr int kRate = 44100;

// Interleaved stereo: a 200 Hz tone of the given amplitude for `seconds`.
std::vector<float> Tone(float amplitude, double seconds) {
    std::vector<float> s;
    for (int i = 0; i < static_cast<int>(seconds * kRate); ++i) {
        const float v = amplitude * static_cast<float>(std::sin(2 * M_PI * 200 * i / kRate));
        s.insert(s.end(), {v, -v});
    }
    return s;
}

TEST(Limiter, LeavesSoundUnderTheCeilingAsItIs) {
    TLimiter limiter(0.9f, kRate, 0.08);
    const std::vector<float> quiet = Tone(0.85f, 0.5);
    std::vector<float> out = quiet;
    limiter.Process(out.data(), static_cast<int>(out.size() / 2), 2);
    EXPECT_EQ(out, quiet);
}

TEST(Limiter, HoldsALoudSumUnderTheCeilingAndThenLetsGo) {
    TLimiter limiter(0.9f, kRate, 0.08);
    std::vector<float> loud = Tone(2.5f, 0.3);
    const std::vector<float> after = Tone(0.5f, 1.0);
    loud.insert(loud.end(), after.begin(), after.end());
    std::vector<float> out = loud;
    // In the device's buffers of 1024 frames, as the mixer hands them over.
    for (size_t at = 0; at < out.size(); at += 2048)
        limiter.Process(out.data() + at, static_cast<int>(std::min<size_t>(2048, out.size() - at) / 2), 2);

    const size_t loudEnd = static_cast<size_t>(0.3 * kRate) * 2;
    float loudest = 0;
    for (float s : out) loudest = std::max(loudest, std::abs(s));
    EXPECT_LT(loudest, 0.9001f);
    // While it is loud the tone comes through, only quieter.
    EXPECT_GT(loudest, 0.89f);
    // The gain has come back well within a second (ten release times) of the loud part's end,
    // and from there on the quiet tone passes exactly as it is.
    const size_t late = loudEnd + static_cast<size_t>(0.8 * kRate) * 2;
    for (size_t i = late; i < out.size(); ++i) ASSERT_EQ(out[i], loud[i]) << "at sample " << i;
}

}  // namespace
}  // namespace blubbi
