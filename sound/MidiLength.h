// The playing time of a Standard MIDI File, read from its bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace blubbi {

// Seconds from the start to the last track's end, following the tempo changes; -1 when the
// bytes are not a whole, well-formed Standard MIDI File. Never reads outside `bytes`.
double MidiSeconds(const std::vector<uint8_t>& bytes);

// The same for a file; -1 when it cannot be read or is larger than a tune can be.
double MidiFileSeconds(const std::string& path);

}  // namespace blubbi
