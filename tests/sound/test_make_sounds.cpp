// The sound builder: how effects and tunes are read, rendered and written, and what it refuses.
#include <gtest/gtest.h>
#include <smf.h>

#include <cmath>
#include <fstream>
#include <stdexcept>

#include "Cue.h"
#include "SoundTestFiles.h"
#include "Tune.h"

namespace makesounds {
namespace {

using blubbi::soundtest::TScratch;

struct Builder : ::testing::Test {
    TScratch Scratch;
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = Scratch / name;
        std::ofstream(path) << text;
        return path;
    }
    // The message of what reading threw, or "" when it read.
    template <class F>
    std::string Error(F read) {
        try {
            read();
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "";
    }
};

// --- effects ---

TEST_F(Builder, EffectLastsUntilItsLastVoiceEnds) {
    const TCue cue = ReadCue(Write("a.cue",
                                   "rate 22050\nvoice sine start 0.1 length 0.2 from 440\n"
                                   "voice noise length 0.05 from 3000\n"));
    ASSERT_EQ(cue.Voices.size(), 2u);
    EXPECT_EQ(Render(cue).size(), static_cast<size_t>(std::lround(0.3 * 22050)));
}

TEST_F(Builder, EffectIsNormalisedToItsPeakAndFadedAtTheEdges) {
    TCue cue = ReadCue(Write("a.cue", "peak 0.75\nfade 0.005\nvoice square length 0.2 from 300 attack 0 release 0\n"));
    const std::vector<float> s = Render(cue);
    float loudest = 0;
    for (float x : s) loudest = std::max(loudest, std::abs(x));
    EXPECT_NEAR(loudest, 0.75f, 1e-4);
    EXPECT_NEAR(s.front(), 0.0f, 1e-6);
    EXPECT_NEAR(s.back(), 0.0f, 1e-3);
    EXPECT_LT(std::abs(s[10]), 0.05f) << "10 samples into a 5 ms fade";
}

TEST_F(Builder, EffectIsNormalisedToItsLoudnessBelowItsPeak) {
    const TCue cue = ReadCue(Write("a.cue", "loudness -20\nvoice sine length 0.3 from 440 decay 0.1\n"));
    const std::vector<float> s = Render(cue);
    double energy = 0;
    float loudest = 0;
    for (float x : s) {
        energy += double(x) * x;
        loudest = std::max(loudest, std::abs(x));
    }
    EXPECT_NEAR(20 * std::log10(std::sqrt(energy / double(s.size()))), -20.0, 0.01);
    EXPECT_LT(loudest, 0.89f);
    // A sine's loudest sample lies 3 dB over its RMS: at -2 dB it would pass the peak 0.89.
    EXPECT_NE(Error([&] { Render(ReadCue(Write("b.cue", "loudness -2\nvoice sine length 0.3 from 440\n"))); }), "");
    EXPECT_EQ(Error([&] { Render(ReadCue(Write("c.cue", "loudness -5\nvoice sine length 0.3 from 440\n"))); }), "");
}

TEST_F(Builder, EffectMistakesNameFileAndLine) {
    const std::string path = Write("bad.cue", "# comment\nvoice sine length 0.1 form 300\n");
    EXPECT_EQ(Error([&] { ReadCue(path); }), path + ":2: unknown key \"form\"");
    EXPECT_NE(Error([&] { ReadCue(Write("b.cue", "voice sine from 300\n")); }), "") << "no length";
    EXPECT_NE(Error([&] { ReadCue(Write("c.cue", "voice organ length 1\n")); }), "");
    EXPECT_NE(Error([&] { ReadCue(Write("d.cue", "voice sine length 1 from -3\n")); }), "");
    EXPECT_NE(Error([&] { ReadCue(Write("e.cue", "voice sine length 1 level\n")); }), "");
    EXPECT_NE(Error([&] { ReadCue(Write("f.cue", "voice sine length 9\n")); }), "") << "beyond 5 s";
    EXPECT_NE(Error([&] { ReadCue(Write("g.cue", "rate 8000\nvoice sine length 1\n")); }), "");
    EXPECT_NE(Error([&] { ReadCue(Write("h.cue", "peak 1.2\nvoice sine length 1\n")); }), "");
    EXPECT_NE(Error([&] { ReadCue(Write("j.cue", "loudness 3\nvoice sine length 1\n")); }), "");
    EXPECT_NE(Error([&] { ReadCue(Write("i.cue", "rate 44100\n")); }), "") << "no voice";
    EXPECT_NE(Error([&] { ReadCue(Scratch / "fehlt.cue"); }), "");
}

// --- tunes ---

const char* kHead =
    "tempo 120\nticks 96\n"
    "instrument lead channel 1 program 81 velocity 90\n"
    "instrument drums channel 10\n";

TEST_F(Builder, NotesCountInSixteenthsAndLengthsCarryOver) {
    const TTune tune = ReadTune(Write("a.tune", std::string(kHead) + "pattern lead p c4:4 a4 r:8\n"
                                                                     "pattern drums d\n kick x.......x..X..o.\nend\n"
                                                                     "song\n lead p\n drums d\nend\n"));
    ASSERT_EQ(tune.Parts.size(), 2u);
    ASSERT_EQ(tune.Parts[0].size(), 2u);
    EXPECT_EQ(tune.Parts[0][0].Key, 60);
    EXPECT_EQ(tune.Parts[0][1].Key, 69);
    EXPECT_EQ(tune.Parts[0][1].Step, 4);
    EXPECT_EQ(tune.Parts[0][1].Steps, 4);
    EXPECT_EQ(tune.Steps, 16);
    EXPECT_DOUBLE_EQ(tune.Seconds(), 2.0);
    ASSERT_EQ(tune.Parts[1].size(), 4u);
    EXPECT_EQ(tune.Parts[1][0].Key, 36);
    EXPECT_EQ(tune.Parts[1][2].Step, 11);
    EXPECT_GT(tune.Parts[1][2].Velocity, tune.Parts[1][1].Velocity) << "X is accented";
    EXPECT_LT(tune.Parts[1][3].Velocity, tune.Parts[1][1].Velocity) << "o is soft";
}

TEST_F(Builder, ChordsSharpsFlatsAccentsAndRepeats) {
    const TTune tune = ReadTune(Write("a.tune", std::string(kHead) + "pattern lead p c4+e4+g4:8 f#5:4! bb3:4\n"
                                                                     "pattern drums d\n kick x...............\nend\n"
                                                                     "song\n lead p*3\n drums d d*2\nend\n"));
    ASSERT_EQ(tune.Parts[0].size(), 15u);
    EXPECT_EQ(tune.Parts[0][1].Key, 64);
    EXPECT_EQ(tune.Parts[0][1].Step, 0) << "a chord's notes start together";
    EXPECT_EQ(tune.Parts[0][3].Key, 78);
    EXPECT_EQ(tune.Parts[0][3].Velocity, 108);
    EXPECT_EQ(tune.Parts[0][4].Key, 58);
    EXPECT_EQ(tune.Parts[0][14].Step, 32 + 12);
    EXPECT_EQ(tune.Steps, 48);
}

TEST_F(Builder, TuneMistakesAreRefused) {
    const std::string drums = "pattern drums d\n kick x...............\nend\n";
    auto error = [&](const std::string& body) {
        const std::string path = Write("bad.tune", std::string(kHead) + body);
        return Error([&] { ReadTune(path); });
    };
    EXPECT_NE(error("pattern lead p c4:4 d4:4 e4:4\n" + drums + "song\n lead p\n drums d\nend\n"), "")
        << "not whole bars";
    EXPECT_NE(error("pattern lead p c4:16\n" + drums + "song\n lead p p\n drums d\nend\n"), "")
        << "parts of different lengths";
    EXPECT_NE(error("pattern lead p h4:16\n" + drums + "song\n lead p\n drums d\nend\n"), "");
    EXPECT_NE(error("pattern lead p c11:16\n" + drums + "song\n lead p\n drums d\nend\n"), "");
    EXPECT_NE(error("pattern lead p c4:16\n" + drums + "song\n lead q\n drums d\nend\n"), "");
    EXPECT_NE(error("pattern drums d\n gong x...............\nend\nsong\nend\n"), "");
    EXPECT_NE(error("pattern drums d\n kick x...\n snare x.......\nend\n"), "");
    EXPECT_NE(error("pattern lead p c4:16\n"), "") << "no song";
    EXPECT_NE(error("pattern lead p\n c4:16\n"), "") << "no end";
    EXPECT_NE(error("song\n lead\nend\n"), "") << "an empty song";
    EXPECT_NE(error("instrument x program 3\n"), "") << "no channel";
}

TEST_F(Builder, WrittenMidiKeepsTempoLengthAndEndsEveryTrackTogether) {
    const TTune tune = ReadTune(Write("a.tune", std::string(kHead) + "pattern lead p c5:4 e5 g5 c6\n"
                                                                     "pattern drums d\n kick x...x...x...x...\nend\n"
                                                                     "song\n lead p*4\n drums d*4\nend\n"));
    const std::string out = Scratch / "a.mid";
    WriteMidi(tune, out);
    smf_t* smf = smf_load(out.c_str());
    ASSERT_TRUE(smf);
    EXPECT_EQ(smf->ppqn, 96);
    EXPECT_EQ(smf->number_of_tracks, 3);
    EXPECT_NEAR(smf_get_length_seconds(smf), 8.0, 1e-6);
    for (int t = 1; t <= smf->number_of_tracks; ++t)
        EXPECT_EQ(smf_track_get_last_event(smf_get_track_by_number(smf, t))->time_pulses, 4 * 4 * 96);
    int ons = 0, offs = 0, silencedAtEnd = 0;
    for (smf_event_t* e; (e = smf_get_next_event(smf)) != nullptr;) {
        if ((e->midi_buffer[0] & 0xF0) == 0x90) ++ons;
        if ((e->midi_buffer[0] & 0xF0) == 0x80) ++offs;
        if ((e->midi_buffer[0] & 0xF0) == 0xB0 && e->midi_buffer[1] == 120)
            silencedAtEnd += e->time_pulses == 4 * 4 * 96;
    }
    EXPECT_EQ(ons, 32);
    EXPECT_EQ(offs, 32);
    EXPECT_EQ(silencedAtEnd, 2) << "every instrument falls silent on the last bar line";
    smf_delete(smf);
}

}  // namespace
}  // namespace makesounds
