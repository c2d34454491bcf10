// How long a MIDI file plays: tempo changes, running status, time-code files, and files that
// are broken in every way a file can be.
#include <gtest/gtest.h>
#include <smf.h>

#include <cmath>
#include <fstream>
#include <random>

#include "SoundTestFiles.h"
#include "sound/MidiLength.h"

namespace blubbi {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Header(uint16_t tracks, uint16_t division) {
    return {'M',
            'T',
            'h',
            'd',
            0,
            0,
            0,
            6,
            0,
            1,
            uint8_t(tracks >> 8),
            uint8_t(tracks),
            uint8_t(division >> 8),
            uint8_t(division)};
}

Bytes Chunk(const char* id, const Bytes& body) {
    const uint32_t n = static_cast<uint32_t>(body.size());
    Bytes b{uint8_t(id[0]),   uint8_t(id[1]),   uint8_t(id[2]),  uint8_t(id[3]),
            uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
    for (uint8_t x : body) b.push_back(x);
    return b;
}

Bytes File(uint16_t division, const std::vector<Bytes>& tracks) {
    Bytes b = Header(static_cast<uint16_t>(tracks.size()), division);
    for (const Bytes& t : tracks) {
        const Bytes c = Chunk("MTrk", t);
        b.insert(b.end(), c.begin(), c.end());
    }
    return b;
}

// --- well-formed files ---

TEST(MidiLength, QuartersAtTheDefaultTempo) {
    // 96 ticks a quarter; one note of two quarters at 120 beats a minute is one second.
    EXPECT_DOUBLE_EQ(MidiSeconds(File(96, {{0x00, 0x90, 60, 100, 0x81, 0x40, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00}})),
                     1.0);
}

TEST(MidiLength, RunningStatusCarriesTheLastStatus) {
    // The second event has no status byte; a note-on with velocity 0 ends the note.
    EXPECT_DOUBLE_EQ(MidiSeconds(File(96, {{0x00, 0x90, 60, 100, 0x60, 60, 0, 0x00, 0xFF, 0x2F, 0x00}})), 0.5);
}

TEST(MidiLength, TempoChangesInTheFirstTrackTimeTheOthers) {
    // Two quarters at 120, then two at 60: 1 s + 2 s.
    const Bytes conductor{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,        // 500000 us
                          0x81, 0x40, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,  // 1000000 us at tick 192
                          0x00, 0xFF, 0x2F, 0x00};
    const Bytes notes{0x00, 0x90, 60, 100, 0x83, 0x00, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00};  // 384 ticks
    EXPECT_DOUBLE_EQ(MidiSeconds(File(96, {conductor, notes})), 3.0);
}

TEST(MidiLength, TimeCodeDivisionCountsTicksASecond) {
    // 25 frames of 40 ticks: 1000 ticks a second.
    EXPECT_DOUBLE_EQ(MidiSeconds(File(0xE728, {{0x87, 0x68, 0xFF, 0x2F, 0x00}})), 1.0);
}

TEST(MidiLength, SysexMetaAndUnknownChunksAreSkipped) {
    Bytes b = Header(1, 96);
    const Bytes junk = Chunk("XFIH", {1, 2, 3});
    b.insert(b.end(), junk.begin(), junk.end());
    const Bytes track = Chunk("MTrk", {0x00, 0xF0, 0x02, 0x7E, 0xF7, 0x00, 0xFF, 0x03, 0x02, 'h', 'i', 0x00, 0xC0, 5,
                                       0x60, 0xFF, 0x2F, 0x00});
    b.insert(b.end(), track.begin(), track.end());
    EXPECT_DOUBLE_EQ(MidiSeconds(b), 0.5);
}

TEST(MidiLength, AgreesWithLibsmfOnTheGamesTune) {
    const std::string path = std::string(BLUBBI_SOUND_OUT) + "/getspeed6.mid";
    smf_t* smf = smf_load(path.c_str());
    ASSERT_TRUE(smf);
    EXPECT_NEAR(MidiFileSeconds(path), smf_get_length_seconds(smf), 1e-6);
    smf_delete(smf);
}

// --- broken files ---

TEST(MidiLength, BrokenFilesHaveNoLength) {
    const Bytes ok{0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(MidiSeconds({}), -1);
    EXPECT_EQ(MidiSeconds({'M', 'T', 'h', 'd'}), -1);
    EXPECT_EQ(MidiSeconds(Header(1, 96)), -1) << "a track is missing";
    Bytes two = File(96, {ok});
    two[11] = 2;
    EXPECT_EQ(MidiSeconds(two), -1) << "the header promises two tracks";
    Bytes longChunk = File(96, {ok});
    longChunk[21] = 0x40;
    EXPECT_EQ(MidiSeconds(longChunk), -1) << "the chunk claims more bytes than the file has";
    EXPECT_EQ(MidiSeconds(File(96, {{0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x2F, 0x00}})), -1) << "five-byte delta";
    EXPECT_EQ(MidiSeconds(File(96, {{0x00, 60, 100, 0x00, 0xFF, 0x2F, 0x00}})), -1) << "data without status";
    EXPECT_EQ(MidiSeconds(File(96, {{0x00, 0xF1, 0x00}})), -1) << "a system message";
    EXPECT_EQ(MidiSeconds(File(96, {{0x00, 0x90, 60}})), -1) << "a cut-off note";
    EXPECT_EQ(MidiSeconds(File(96, {{0x00, 0xFF, 0x01, 0x10, 'a'}})), -1) << "a cut-off text";
    EXPECT_EQ(MidiSeconds(File(0, {ok})), -1) << "no ticks a quarter";
    EXPECT_EQ(MidiFileSeconds("/nirgends/fehlt.mid"), -1);
}

TEST(MidiLength, DamagedCopiesOfTheTuneNeverReadOutside) {
    std::ifstream in(std::string(BLUBBI_SOUND_OUT) + "/getspeed6.mid", std::ios::binary);
    const Bytes tune((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(tune.size(), 100u);
    std::mt19937 rng(11);
    int readable = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes b = tune;
        const int changes = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < changes; ++k) b[rng() % b.size()] = static_cast<uint8_t>(rng());
        if (round % 3 == 0) b.resize(rng() % b.size());
        const double s = MidiSeconds(b);
        EXPECT_TRUE(s == -1 || (std::isfinite(s) && s >= 0)) << s;
        readable += s >= 0;
    }
    EXPECT_GT(readable, 0) << "some damage leaves the file readable";
}

}  // namespace
}  // namespace blubbi
