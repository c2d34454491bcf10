// libFuzzer target: any bytes as the game's tune; its length is a number of seconds or -1.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sound/MidiLength.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const double seconds = blubbi::MidiSeconds(std::vector<uint8_t>(data, data + size));
    if (seconds != -1 && !(std::isfinite(seconds) && seconds >= 0)) __builtin_trap();
    return 0;
}
