// Sound effects described as a few voices (waves, pitch glides, envelopes, noise) and rendered.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace makesounds {

enum class TWave { Sine, Triangle, Square, Saw, Noise };

// One voice of an effect. Times are seconds from the effect's start, pitches in Hz; for noise
// the pitch is the cut-off of its low-pass filter.
struct TVoice {
    TWave Wave = TWave::Sine;
    double Start = 0, Length = 0;
    double From = 440, To = 440;
    bool ExpGlide = true;   // glide evenly in pitch (exp) or in Hz (lin)
    double Attack = 0.002;  // linear rise
    double Decay = 0;       // time constant of the fall after the attack; 0 holds
    double Release = 0.01;  // raised-cosine fall at the voice's end
    double Level = 1;
    double Duty = 0.5;                 // square only
    double Vibrato = 0;                // Hz
    double Depth = 0, DepthTo = 0;     // vibrato depth as a fraction of the pitch, start and end
    double Lowpass = 0, Highpass = 0;  // Hz; 0 leaves the voice unfiltered
};

struct TCue {
    int Rate = 44100;
    double Peak = 0.89;  // the loudest sample after normalising, as a fraction of full scale
    // Normalises the RMS of the whole effect to this many dB of full scale instead, so that
    // effects of any shape sound equally loud; Peak is then the most the loudest sample may reach.
    std::optional<double> Loudness;
    double Fade = 0.004;  // seconds faded in and out at the very edges
    std::vector<TVoice> Voices;
};

// Throws std::runtime_error with file and line on anything it does not understand.
TCue ReadCue(const std::string& fileName);

// Mono samples in -1..1, normalised to the cue's peak or loudness and faded at both ends.
// Throws std::runtime_error when the loudness would take a sample past the peak.
std::vector<float> Render(const TCue& cue);

// 16-bit PCM mono WAV through libsndfile; throws std::runtime_error on failure.
void WriteWav(const std::string& fileName, const std::vector<float>& samples, int rate);

}  // namespace makesounds
