// The limiter on the mixed stream.
#include "sound/Limiter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace blubbi {

TLimiter::TLimiter(float ceiling, int rate, double releaseSeconds)
    : Ceiling(ceiling), Keep(static_cast<float>(std::exp(-1 / (releaseSeconds * std::max(rate, 1))))) {}

void TLimiter::Process(float* samples, int frames, int channels) {
    for (int f = 0; f < frames; ++f) {
        float* frame = samples + static_cast<std::ptrdiff_t>(f) * channels;
        float loudest = 0;
        for (int c = 0; c < channels; ++c) loudest = std::max(loudest, std::abs(frame[c]));
        if (Reduction > 0) {
            Reduction *= Keep;
            if (Reduction < 1e-4f) Reduction = 0;  // under 0.001 dB: gone
        }
        if (loudest * (1 - Reduction) > Ceiling) Reduction = 1 - Ceiling / loudest;
        if (Reduction > 0) {
            for (int c = 0; c < channels; ++c) frame[c] *= 1 - Reduction;
        }
    }
}

}  // namespace blubbi
