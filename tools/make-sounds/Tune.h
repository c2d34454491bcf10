// A tune as instruments, one-bar-multiple patterns and a song order, written as a Standard MIDI File.
#pragma once
#include <string>
#include <vector>

namespace makesounds {

struct TInstrument {
    std::string Name;
    int Channel = 0;   // 0-based; 9 is the General MIDI drum channel
    int Program = -1;  // 0-based General MIDI program; -1 sends none
    int Volume = 100, Pan = 64, Reverb = -1, Chorus = -1;
    int Velocity = 96;
    double Gate = 0.9;  // the part of its length a note sounds
};

// A note placed in sixteenth steps from the tune's start.
struct TNote {
    int Step = 0, Steps = 1;
    int Key = 60, Velocity = 96;
};

struct TTune {
    int Tempo = 120;  // quarters a minute
    int Ticks = 480;  // MIDI ticks a quarter
    int Steps = 0;    // length in sixteenths; every part ends exactly here
    std::vector<TInstrument> Instruments;
    std::vector<std::vector<TNote>> Parts;  // one per instrument, in song order

    double Seconds() const { return Steps * 15.0 / Tempo; }
};

// Throws std::runtime_error with file and line on anything it does not understand, and when the
// parts of the song are not all of one length.
TTune ReadTune(const std::string& fileName);

// Format 1: a conductor track with tempo and metre, then one track per instrument; every track
// ends on the last bar line so the piece can start over without a gap. Throws on failure.
void WriteMidi(const TTune& tune, const std::string& fileName);

}  // namespace makesounds
