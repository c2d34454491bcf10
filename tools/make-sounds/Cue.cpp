// Reading, rendering and writing the sound effects.
#include "Cue.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <numbers>
#include <sstream>
#include <stdexcept>

#include "Text.h"

namespace makesounds {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kMaxSeconds = 5;  // far beyond any effect; keeps a typo from filling the disk

const std::map<std::string, TWave> kWaves{{"sine", TWave::Sine},
                                          {"triangle", TWave::Triangle},
                                          {"square", TWave::Square},
                                          {"saw", TWave::Saw},
                                          {"noise", TWave::Noise}};

// Smooths the jump of a naive saw or square over one sample on each side, which keeps the
// high notes from folding back as audible whistles.
double PolyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1;
    }
    if (t > 1 - dt) {
        t = (t - 1) / dt;
        return t * t + t + t + 1;
    }
    return 0;
}

struct TOnePole {
    double State = 0;
    double Low(double x, double cutoff, int rate) {
        const double a = 1 - std::exp(-kTwoPi * cutoff / rate);
        State += a * (x - State);
        return State;
    }
};

// The raised-cosine fade at the edges: sample i of n, with `fade` samples faded at each end.
double FadeGain(size_t i, size_t n, size_t fade) {
    const size_t edge = std::min(i, n - 1 - i);
    if (edge >= fade) return 1;
    return 0.5 * (1 - std::cos(std::numbers::pi * static_cast<double>(edge) / static_cast<double>(fade)));
}

TVoice ReadVoice(const std::string& file, const TLine& line) {
    TVoice v;
    const auto& w = line.Words;
    if (w.size() < 2 || !kWaves.count(w[1]))
        Fail(file, line.Number, "voice needs a wave: sine, triangle, square, saw or noise");
    v.Wave = kWaves.at(w[1]);
    bool toGiven = false, depthToGiven = false, lengthGiven = false;
    for (size_t i = 2; i < w.size(); i += 2) {
        if (i + 1 >= w.size()) Fail(file, line.Number, "\"" + w[i] + "\" has no value");
        const std::string& key = w[i];
        const std::string& value = w[i + 1];
        if (key == "glide") {
            if (value != "exp" && value != "lin") Fail(file, line.Number, "glide is exp or lin");
            v.ExpGlide = value == "exp";
            continue;
        }
        const double x = Number(file, line.Number, value);
        if (key == "start")
            v.Start = x;
        else if (key == "length") {
            v.Length = x;
            lengthGiven = true;
        } else if (key == "from")
            v.From = x;
        else if (key == "to") {
            v.To = x;
            toGiven = true;
        } else if (key == "attack")
            v.Attack = x;
        else if (key == "decay")
            v.Decay = x;
        else if (key == "release")
            v.Release = x;
        else if (key == "level")
            v.Level = x;
        else if (key == "duty")
            v.Duty = x;
        else if (key == "vibrato")
            v.Vibrato = x;
        else if (key == "depth")
            v.Depth = x;
        else if (key == "depthto") {
            v.DepthTo = x;
            depthToGiven = true;
        } else if (key == "lowpass")
            v.Lowpass = x;
        else if (key == "highpass")
            v.Highpass = x;
        else
            Fail(file, line.Number, "unknown key \"" + key + "\"");
    }
    if (!toGiven) v.To = v.From;
    if (!depthToGiven) v.DepthTo = v.Depth;
    if (!lengthGiven || v.Length <= 0) Fail(file, line.Number, "a voice needs a length above 0");
    if (v.Start < 0 || v.Start + v.Length > kMaxSeconds)
        Fail(file, line.Number, "the voice lies outside 0 to 5 seconds");
    if (v.From <= 0 || v.To <= 0) Fail(file, line.Number, "pitches are above 0 Hz");
    if (v.Attack < 0 || v.Decay < 0 || v.Release < 0 || v.Lowpass < 0 || v.Highpass < 0 || v.Vibrato < 0)
        Fail(file, line.Number, "times and filter frequencies are not negative");
    if (v.Duty <= 0 || v.Duty >= 1) Fail(file, line.Number, "duty lies between 0 and 1");
    return v;
}

void RenderVoice(const TVoice& v, int rate, uint32_t seed, std::vector<double>& out) {
    const size_t first = static_cast<size_t>(std::lround(v.Start * rate));
    const size_t count = static_cast<size_t>(std::lround(v.Length * rate));
    if (out.size() < first + count) out.resize(first + count, 0.0);
    double phase = 0;
    uint32_t noise = seed | 1;
    TOnePole noiseFilter, lp1, lp2, hp;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double u = count > 1 ? static_cast<double>(i) / static_cast<double>(count - 1) : 0.0;
        double f = v.ExpGlide ? v.From * std::pow(v.To / v.From, u) : v.From + (v.To - v.From) * u;
        if (v.Vibrato > 0) f *= 1 + (v.Depth + (v.DepthTo - v.Depth) * u) * std::sin(kTwoPi * v.Vibrato * t);
        const double dt = std::min(f / rate, 0.5);

        double s = 0;
        switch (v.Wave) {
            case TWave::Sine: s = std::sin(kTwoPi * phase); break;
            case TWave::Triangle: s = 1 - 4 * std::abs(phase - 0.5); break;
            case TWave::Saw: s = 2 * phase - 1 - PolyBlep(phase, dt); break;
            case TWave::Square: {
                s = phase < v.Duty ? 1.0 : -1.0;
                s += PolyBlep(phase, dt) - PolyBlep(std::fmod(phase + 1 - v.Duty, 1.0), dt);
                break;
            }
            case TWave::Noise: {
                noise ^= noise << 13;
                noise ^= noise >> 17;
                noise ^= noise << 5;
                const double white = static_cast<double>(noise) / 2147483648.0 - 1.0;
                s = noiseFilter.Low(white, f, rate) * 2;  // the filter halves a white signal's level or more
                break;
            }
        }
        phase += dt;
        phase -= std::floor(phase);
        if (v.Lowpass > 0) s = lp2.Low(lp1.Low(s, v.Lowpass, rate), v.Lowpass, rate);
        if (v.Highpass > 0) s -= hp.Low(s, v.Highpass, rate);

        double env = v.Attack > 0 && t < v.Attack ? t / v.Attack : 1.0;
        if (v.Decay > 0 && t > v.Attack) env *= std::exp(-(t - v.Attack) / v.Decay);
        const double releaseStart = v.Length - v.Release;
        if (v.Release > 0 && t > releaseStart)
            env *= 0.5 * (1 + std::cos(std::numbers::pi * std::min(1.0, (t - releaseStart) / v.Release)));
        out[first + i] += v.Level * env * s;
    }
}

}  // namespace

TCue ReadCue(const std::string& fileName) {
    TCue cue;
    for (const TLine& line : ReadLines(fileName)) {
        const auto& w = line.Words;
        if (w[0] == "voice") {
            cue.Voices.push_back(ReadVoice(fileName, line));
            continue;
        }
        if (w.size() != 2) Fail(fileName, line.Number, "expected \"<setting> <value>\" or \"voice ...\"");
        if (w[0] == "rate") {
            cue.Rate = Integer(fileName, line.Number, w[1]);
            if (cue.Rate != 22050 && cue.Rate != 44100) Fail(fileName, line.Number, "rate is 22050 or 44100");
        } else if (w[0] == "peak") {
            cue.Peak = Number(fileName, line.Number, w[1]);
            if (cue.Peak <= 0 || cue.Peak >= 1) Fail(fileName, line.Number, "peak lies between 0 and 1");
        } else if (w[0] == "loudness") {
            cue.Loudness = Number(fileName, line.Number, w[1]);
            if (*cue.Loudness < -60 || *cue.Loudness > 0)
                Fail(fileName, line.Number, "loudness lies between -60 and 0 dB");
        } else if (w[0] == "fade") {
            cue.Fade = Number(fileName, line.Number, w[1]);
            if (cue.Fade < 0 || cue.Fade > 0.1) Fail(fileName, line.Number, "fade lies between 0 and 0.1 s");
        } else {
            Fail(fileName, line.Number, "unknown setting \"" + w[0] + "\"");
        }
    }
    if (cue.Voices.empty()) throw std::runtime_error(fileName + ": no voice");
    return cue;
}

std::vector<float> Render(const TCue& cue) {
    std::vector<double> mix;
    uint32_t seed = 0x9E3779B9u;
    for (const TVoice& v : cue.Voices) {
        RenderVoice(v, cue.Rate, seed, mix);
        seed = seed * 1664525u + 1013904223u;
    }
    // Fade the very edges first, so the normalising sees the samples that are written.
    const size_t fade = std::min(mix.size() / 2, static_cast<size_t>(std::lround(cue.Fade * cue.Rate)));
    for (size_t i = 0; i < fade; ++i) {
        mix[i] *= FadeGain(i, mix.size(), fade);
        mix[mix.size() - 1 - i] *= FadeGain(i, mix.size(), fade);
    }
    // Take out any offset from zero (a lopsided wave or a filtered noise leaves one), shaped like
    // the fade so the edges stay at rest: a cue that sits off zero thumps as it starts and stops.
    double sum = 0, weight = 0;
    for (size_t i = 0; i < mix.size(); ++i) {
        sum += mix[i];
        weight += FadeGain(i, mix.size(), fade);
    }
    if (weight > 0)
        for (size_t i = 0; i < mix.size(); ++i) mix[i] -= sum / weight * FadeGain(i, mix.size(), fade);
    double loudest = 0, energy = 0;
    for (double s : mix) {
        loudest = std::max(loudest, std::abs(s));
        energy += s * s;
    }
    double gain = loudest > 0 ? cue.Peak / loudest : 0;
    if (cue.Loudness && loudest > 0) {
        gain = std::pow(10.0, *cue.Loudness / 20) / std::sqrt(energy / static_cast<double>(mix.size()));
        if (loudest * gain > cue.Peak) {
            std::ostringstream what;
            what << "loudness " << *cue.Loudness << " dB takes the loudest sample to " << loudest * gain
                 << ", past the peak " << cue.Peak;
            throw std::runtime_error(what.str());
        }
    }
    std::vector<float> out(mix.size());
    for (size_t i = 0; i < mix.size(); ++i) out[i] = static_cast<float>(mix[i] * gain);
    return out;
}

void WriteWav(const std::string& fileName, const std::vector<float>& samples, int rate) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(fileName.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error(fileName + ": " + sf_strerror(nullptr));
    const sf_count_t n = static_cast<sf_count_t>(samples.size());
    const sf_count_t written = sf_write_float(file, samples.data(), n);
    const int closed = sf_close(file);
    if (written != n || closed != 0) throw std::runtime_error(fileName + ": could not be written");
}

}  // namespace makesounds
