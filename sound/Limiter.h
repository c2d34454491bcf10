// TLimiter: keeps the mixed sound under full scale however many effects sound at once.
#pragma once

namespace blubbi {

// A peak limiter without look-ahead: a frame that would pass the ceiling lowers the gain at
// once just enough to meet it, and the gain then returns to 1 smoothly over the release time.
// Sound that stays under the ceiling passes unchanged once the gain has returned.
class TLimiter {
public:
    TLimiter(float ceiling, int rate, double releaseSeconds);

    // Scales `frames` interleaved frames of `channels` samples in place.
    void Process(float* samples, int frames, int channels);

private:
    float Ceiling;
    float Keep;           // how much of the gain's reduction is left after a frame
    float Reduction = 0;  // 1 - gain: kept rather than the gain, whose way back to 1 rounding would stall
};

}  // namespace blubbi
