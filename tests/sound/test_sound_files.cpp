// The built effects and tune: format, length, level, clean edges, no offset, and a tune that loops on a bar line.
#include <gtest/gtest.h>
#include <smf.h>
#include <sndfile.h>

#include <cmath>
#include <string>
#include <vector>

namespace blubbi {
namespace {

const std::string kOut = BLUBBI_SOUND_OUT;

struct TWav {
    SF_INFO Info{};
    std::vector<short> Samples;
};

bool Load(const std::string& path, TWav& wav) {
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &wav.Info);
    if (!f) return false;
    wav.Samples.resize(static_cast<size_t>(wav.Info.frames * wav.Info.channels));
    sf_read_short(f, wav.Samples.data(), static_cast<sf_count_t>(wav.Samples.size()));
    sf_close(f);
    return true;
}

class BuiltEffect : public ::testing::TestWithParam<const char*> {};

TEST_P(BuiltEffect, IsShortMono16BitPcm) {
    TWav wav;
    ASSERT_TRUE(Load(kOut + "/" + GetParam() + ".wav", wav)) << "not built";
    EXPECT_EQ(wav.Info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(wav.Info.channels, 1);
    EXPECT_TRUE(wav.Info.samplerate == 22050 || wav.Info.samplerate == 44100);
    const double seconds = static_cast<double>(wav.Info.frames) / wav.Info.samplerate;
    EXPECT_GT(seconds, 0.05);
    EXPECT_LT(seconds, 0.7);
}

double RmsDb(const TWav& wav) {
    double energy = 0;
    for (short s : wav.Samples) energy += double(s) * s;
    return 20 * std::log10(std::sqrt(energy / double(wav.Samples.size())) / 32768);
}

// The mix sets one volume for every effect, so each must be as loud as the others.
TEST_P(BuiltEffect, IsAsLoudAsTheOthersAndBelowFullScale) {
    TWav wav;
    ASSERT_TRUE(Load(kOut + "/" + GetParam() + ".wav", wav));
    int peak = 0;
    for (short s : wav.Samples) peak = std::max(peak, std::abs(int{s}));
    EXPECT_LT(peak, 0.95 * 32767);
    for (const char* other : {"blasen", "platzen", "springen", "feder", "sammeln", "getroffen"}) {
        TWav o;
        ASSERT_TRUE(Load(kOut + "/" + other + ".wav", o));
        EXPECT_NEAR(RmsDb(wav), RmsDb(o), 0.2) << other;
    }
}

TEST_P(BuiltEffect, StartsAndEndsAtRest) {
    TWav wav;
    ASSERT_TRUE(Load(kOut + "/" + GetParam() + ".wav", wav));
    ASSERT_GT(wav.Samples.size(), 10u);
    EXPECT_LT(std::abs(int{wav.Samples.front()}), 50);
    EXPECT_LT(std::abs(int{wav.Samples.back()}), 50);
    // The first and last half millisecond stay well below full scale: the sound fades in and out
    // instead of switching on and off with a click.
    const size_t edge = static_cast<size_t>(wav.Info.samplerate / 2000);
    for (size_t i = 0; i < edge; ++i) {
        EXPECT_LT(std::abs(int{wav.Samples[i]}), 0.3 * 32767) << "at the start, sample " << i;
        const size_t j = wav.Samples.size() - 1 - i;
        EXPECT_LT(std::abs(int{wav.Samples[j]}), 0.3 * 32767) << "at the end, sample " << j;
    }
}

// An offset from zero thumps as the effect starts and stops, and the mixer sums it into every other sound.
TEST_P(BuiltEffect, SitsOnZero) {
    TWav wav;
    ASSERT_TRUE(Load(kOut + "/" + GetParam() + ".wav", wav));
    double sum = 0;
    for (short s : wav.Samples) sum += s;
    EXPECT_LT(std::abs(sum / double(wav.Samples.size())), 0.001 * 32768);
}

INSTANTIATE_TEST_SUITE_P(Effects, BuiltEffect,
                         ::testing::Values("blasen", "platzen", "springen", "feder", "sammeln", "getroffen"));

struct TSmfDeleter {
    void operator()(smf_t* s) const { smf_delete(s); }
};

TEST(BuiltTune, LastsTwoToThreeMinutesAndEndsOnABarLine) {
    std::unique_ptr<smf_t, TSmfDeleter> smf(smf_load((kOut + "/getspeed6.mid").c_str()));
    ASSERT_TRUE(smf) << "not built or not a MIDI file";
    EXPECT_GE(smf_get_length_seconds(smf.get()), 120.0);
    EXPECT_LE(smf_get_length_seconds(smf.get()), 180.0);
    const int bar = 4 * smf->ppqn;
    EXPECT_EQ(smf_get_length_pulses(smf.get()) % bar, 0);
    for (int t = 1; t <= smf->number_of_tracks; ++t) {
        smf_track_t* track = smf_get_track_by_number(smf.get(), t);
        ASSERT_TRUE(track);
        smf_event_t* last = smf_track_get_last_event(track);
        ASSERT_TRUE(last);
        EXPECT_TRUE(smf_event_is_eot(last));
        EXPECT_EQ(last->time_pulses, smf_get_length_pulses(smf.get())) << "track " << t << " ends early";
    }
}

TEST(BuiltTune, HasMelodyBassChordsAndDrums) {
    std::unique_ptr<smf_t, TSmfDeleter> smf(smf_load((kOut + "/getspeed6.mid").c_str()));
    ASSERT_TRUE(smf);
    int notesOn[16] = {};
    bool programs[16] = {};
    for (smf_event_t* e; (e = smf_get_next_event(smf.get())) != nullptr;) {
        if (e->midi_buffer_length < 2) continue;
        const int status = e->midi_buffer[0] & 0xF0, channel = e->midi_buffer[0] & 0x0F;
        if (status == 0x90 && e->midi_buffer_length == 3 && e->midi_buffer[2] > 0) ++notesOn[channel];
        if (status == 0xC0) programs[channel] = true;
    }
    int melodic = 0;
    for (int ch = 0; ch < 16; ++ch)
        if (ch != 9 && notesOn[ch] > 50 && programs[ch]) ++melodic;
    EXPECT_GE(melodic, 3);
    EXPECT_GT(notesOn[9], 200) << "drums on channel 10";
}

}  // namespace
}  // namespace blubbi
