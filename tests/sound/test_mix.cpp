// The game's mix as the player puts it out (SDL's disk audio driver): every effect stands out
// above the background music, and effects sounding together on top of it never clip.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

#include "SoundTestFiles.h"
#include "sound/MediaPlayer.h"

namespace blubbi {
namespace {

using namespace std::chrono_literals;

const std::string kOut = BLUBBI_SOUND_OUT;
const char* const kCues[] = {"blasen", "platzen", "springen", "feder", "sammeln", "getroffen"};

// Loudness of a stretch of samples, in dB of full scale.
struct TLevel {
    double Rms = -200;
    double Peak = -200;
    int Clipped = 0;  // samples a 16-bit device would have to cut off
};

double Db(double v) { return v > 0 ? 20 * std::log10(v) : -200; }

TLevel Measure(const std::vector<float>& s, size_t from, size_t to) {
    TLevel level;
    double energy = 0, peak = 0;
    to = std::min(to, s.size());
    for (size_t i = from; i < to; ++i) {
        energy += double(s[i]) * s[i];
        peak = std::max(peak, double(std::abs(s[i])));
        if (std::abs(s[i]) >= 1) ++level.Clipped;
    }
    if (to > from) level.Rms = Db(std::sqrt(energy / double(to - from)));
    level.Peak = Db(peak);
    return level;
}

// Where a lone sound in [from, to) sounds: from its first to its last sample above -60 dB.
std::pair<size_t, size_t> Sounding(const std::vector<float>& s, size_t from, size_t to) {
    to = std::min(to, s.size());
    size_t first = to, last = from;
    for (size_t i = from; i < to; ++i) {
        if (std::abs(s[i]) > 0.001f) {
            first = std::min(first, i);
            last = i + 1;
        }
    }
    return {first, std::max(first, last)};
}

struct SoundMix : ::testing::Test {
    soundtest::TScratch Scratch;
    std::string Output = Scratch / "out.raw";
    std::optional<TMediaPlayer> Player;

    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", Output.c_str(), 1);
        unsetenv("SDL_SOUNDFONTS");  // the installed General-MIDI font, as the game finds it
        Player.emplace();
        ASSERT_TRUE(Player->AudioOpen());
        ASSERT_FALSE(Player->SoundFont().empty()) << "no soundfont: install timgm6mb-soundfont";
        Player->Send("open \"" + kOut + "/getspeed6.mid\" alias musik");
        for (const char* cue : kCues) Player->Send("open \"" + kOut + "/" + cue + ".wav\" alias " + cue);
    }
    // Samples written so far (both channels).
    size_t Written() const {
        std::error_code ec;
        const auto size = std::filesystem::file_size(Output, ec);
        return ec ? 0 : static_cast<size_t>(size) / sizeof(float);
    }
    std::vector<float> Samples() {
        Player.reset();
        return soundtest::DeviceOutput(Output);
    }
};

TEST_F(SoundMix, EffectsStandOutAboveTheMusicAndNothingClips) {
    // Each effect alone, then the music alone, then every effect at once on top of the music:
    // the worst a busy moment of the game can bring together.
    std::vector<std::pair<size_t, size_t>> alone;
    for (const char* cue : kCues) {
        const size_t from = Written();
        Player->Send(std::string("play ") + cue + " from 0");
        std::this_thread::sleep_for(650ms);  // the longest effect lasts half a second
        alone.emplace_back(from, Written());
    }
    Player->Send("play musik from 0");
    std::this_thread::sleep_for(500ms);  // the tune's first notes
    const size_t musicFrom = Written();
    std::this_thread::sleep_for(3000ms);
    const size_t musicTo = Written();
    for (int round = 0; round < 3; ++round) {
        for (const char* cue : kCues) {
            Player->Send(std::string("play ") + cue + " from 0");
            std::this_thread::sleep_for(std::chrono::milliseconds(round * 15));
        }
        std::this_thread::sleep_for(700ms);
    }
    const size_t busyTo = Written();
    const std::vector<float> s = Samples();

    const TLevel music = Measure(s, musicFrom, musicTo);
    std::printf("music:      RMS %6.1f dBFS  peak %6.1f dBFS\n", music.Rms, music.Peak);
    EXPECT_GT(music.Rms, -40) << "the music is there";
    double loudestEffect = -200;
    for (size_t i = 0; i < alone.size(); ++i) {
        const auto [first, last] = Sounding(s, alone[i].first, alone[i].second);
        const TLevel effect = Measure(s, first, last);
        std::printf("%-10s  RMS %6.1f dBFS  peak %6.1f dBFS  %+5.1f dB over the music\n", kCues[i], effect.Rms,
                    effect.Peak, effect.Rms - music.Rms);
        loudestEffect = std::max(loudestEffect, effect.Rms);
        EXPECT_GT(effect.Rms - music.Rms, 3.0) << kCues[i] << " stands out";
    }
    EXPECT_LT(loudestEffect - music.Rms, 10.0) << "no effect drowns the music";
    const TLevel busy = Measure(s, musicTo, busyTo);
    std::printf("all at once: RMS %6.1f dBFS  peak %6.1f dBFS  %d clipped samples\n", busy.Rms, busy.Peak,
                busy.Clipped);
    EXPECT_GT(busy.Rms, loudestEffect) << "together they are louder than each";
    EXPECT_LE(busy.Peak, Db(TMediaPlayer::kCeiling) + 0.01);
    EXPECT_EQ(Measure(s, 0, s.size()).Clipped, 0);
}

}  // namespace
}  // namespace blubbi
