// The media command interpreter against the real SDL2_mixer, its output caught by SDL's disk
// audio driver: effects sound, music ends and says so, and nothing malformed does harm.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "SoundTestFiles.h"
#include "sound/MediaPlayer.h"

namespace blubbi {
namespace {

using namespace std::chrono_literals;
using soundtest::TScratch;

constexpr const char* kSmallFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

struct PlayerFixture : ::testing::Test {
    TScratch Scratch;
    std::string Output = Scratch / "out.raw";
    std::optional<TMediaPlayer> Player;

    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", Output.c_str(), 1);
        // The small soundfont loads in a blink; the tests only need some font.
        if (std::filesystem::exists(kSmallFont)) setenv("SDL_SOUNDFONTS", kSmallFont, 1);
        Player.emplace();
        ASSERT_TRUE(Player->AudioOpen());
    }
    std::string Send(const std::string& c) { return Player->Send(c); }
    std::string Open(const std::string& path, const std::string& alias) {
        return Send("open \"" + path + "\" alias " + alias);
    }
    // Closes the device and gives the loudest sample it was sent.
    int Loudest() {
        Player.reset();
        return soundtest::Loudest(Output);
    }
    // Waits up to `limit` for the answer to become `want`; returns how long that took.
    std::optional<std::chrono::milliseconds> WaitFor(const std::string& command, const std::string& want,
                                                     std::chrono::milliseconds limit) {
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < limit) {
            if (Send(command) == want)
                return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }
};

// --- effects ---

TEST_F(PlayerFixture, PlayingACueWritesSoundToTheDevice) {
    ASSERT_TRUE(soundtest::WriteTone(Scratch / "tone.wav", 0.3));
    EXPECT_EQ(Open(Scratch / "tone.wav", "ton"), "");
    EXPECT_EQ(Send("status ton mode"), "stopped");
    EXPECT_EQ(Send("play ton from 0"), "");
    EXPECT_EQ(Send("status ton mode"), "playing");
    // 0.3 s of sound; a busy machine may take the audio thread a little longer.
    EXPECT_TRUE(WaitFor("status ton mode", "stopped", 2000ms));
    EXPECT_GT(Loudest(), 4000);
}

TEST_F(PlayerFixture, PlayingACueAgainStartsItFromTheBeginning) {
    ASSERT_TRUE(soundtest::WriteTone(Scratch / "tone.wav", 0.4));
    Open(Scratch / "tone.wav", "ton");
    Send("play ton from 0");
    std::this_thread::sleep_for(250ms);
    Send("play ton from 0");
    std::this_thread::sleep_for(250ms);  // 500 ms after the first start, 250 ms into the second
    EXPECT_EQ(Send("status ton mode"), "playing");
    EXPECT_TRUE(WaitFor("status ton mode", "stopped", 2000ms));
}

TEST_F(PlayerFixture, EachCueSoundsOnItsOwnChannel) {
    ASSERT_TRUE(soundtest::WriteTone(Scratch / "a.wav", 0.4));
    ASSERT_TRUE(soundtest::WriteTone(Scratch / "b.wav", 0.4));
    Open(Scratch / "a.wav", "blasen");
    Open(Scratch / "b.wav", "platzen");
    Send("play blasen from 0");
    Send("play platzen from 0");
    EXPECT_EQ(Send("status blasen mode"), "playing");
    EXPECT_EQ(Send("status platzen mode"), "playing");
    Send("stop blasen");
    EXPECT_EQ(Send("status blasen mode"), "stopped");
    EXPECT_EQ(Send("status platzen mode"), "playing");
}

TEST_F(PlayerFixture, QuotedPathsWithBlanksOpen) {
    std::filesystem::create_directories(Scratch.Dir / "Blubbi Blubbo" / "sound");
    const std::string path = Scratch / "Blubbi Blubbo/sound/blasen.wav";
    ASSERT_TRUE(soundtest::WriteTone(path, 0.2));
    Open(path, "blasen");
    EXPECT_EQ(Send("status blasen mode"), "stopped");
    Send("play blasen from 0");
    std::this_thread::sleep_for(250ms);
    EXPECT_GT(Loudest(), 4000);
}

// --- music ---

TEST_F(PlayerFixture, MusicPlaysOnceAndThenReportsStopped) {
    ASSERT_FALSE(Player->SoundFont().empty()) << "no soundfont: install timgm6mb-soundfont";
    ASSERT_TRUE(soundtest::WriteShortMidi(Scratch / "kurz.mid", 0.4));
    Open(Scratch / "kurz.mid", "musik");
    EXPECT_EQ(Send("status musik mode"), "stopped");
    Send("play musik from 0");
    EXPECT_EQ(Send("status musik mode"), "playing");
    const auto ended = WaitFor("status musik mode", "stopped", 5000ms);
    ASSERT_TRUE(ended) << "the piece never ended";
    // On time: the game restarts the music on "stopped", so any lateness is a gap in the loop.
    EXPECT_GE(ended->count(), 350);
    EXPECT_LE(ended->count(), 700);
    // What the game's keep-alive does next: the same piece starts over.
    Send("play musik from 0");
    EXPECT_EQ(Send("status musik mode"), "playing");
    EXPECT_TRUE(WaitFor("status musik mode", "stopped", 5000ms));
    EXPECT_GT(Loudest(), 500);
}

TEST_F(PlayerFixture, StoppedMusicSaysStoppedAndCanStartAgain) {
    ASSERT_TRUE(soundtest::WriteShortMidi(Scratch / "lang.mid", 3.0));
    Open(Scratch / "lang.mid", "musik");
    Send("play musik from 0");
    EXPECT_EQ(Send("status musik mode"), "playing");
    EXPECT_EQ(Send("stop musik"), "");
    EXPECT_EQ(Send("status musik mode"), "stopped");
    Send("play musik from 0");
    EXPECT_EQ(Send("status musik mode"), "playing");
}

// --- what must do no harm ---

TEST_F(PlayerFixture, UnknownAliasesAnswerNothing) {
    EXPECT_EQ(Send("play niemand from 0"), "");
    EXPECT_EQ(Send("stop niemand"), "");
    EXPECT_EQ(Send("status niemand mode"), "");
    EXPECT_EQ(Send("close niemand"), "");
}

TEST_F(PlayerFixture, ClosedAliasIsGoneAndCanBeOpenedAgain) {
    ASSERT_TRUE(soundtest::WriteTone(Scratch / "tone.wav", 0.3));
    Open(Scratch / "tone.wav", "ton");
    Send("play ton from 0");
    EXPECT_EQ(Send("close ton"), "");
    EXPECT_EQ(Send("status ton mode"), "");
    EXPECT_EQ(Send("play ton from 0"), "");
    EXPECT_EQ(Send("close ton"), "");
    Open(Scratch / "tone.wav", "ton");
    EXPECT_EQ(Send("status ton mode"), "stopped");
}

TEST_F(PlayerFixture, MissingFilesOpenNothing) {
    Open(Scratch / "fehlt.wav", "blasen");
    Open(Scratch / "fehlt.mid", "musik");
    EXPECT_EQ(Send("status blasen mode"), "");
    EXPECT_EQ(Send("status musik mode"), "");
    EXPECT_EQ(Send("play musik from 0"), "");
}

TEST_F(PlayerFixture, UnreadableFilesOpenNothing) {
    std::ofstream(Scratch / "kaputt.wav") << "RIFF not really";
    std::ofstream(Scratch / "kaputt.mid") << "MThd not really";
    Open(Scratch / "kaputt.wav", "blasen");
    Open(Scratch / "kaputt.mid", "musik");
    EXPECT_EQ(Send("status blasen mode"), "");
    // The synthesizer only reads a MIDI file when it plays it: a broken one may open, but it
    // never sounds and never claims to play.
    Send("play musik from 0");
    std::this_thread::sleep_for(100ms);
    const std::string mode = Send("status musik mode");
    EXPECT_TRUE(mode == "" || mode == "stopped") << mode;
    EXPECT_LT(Loudest(), 50) << "at most the synthesizer's dither";
}

// A few bytes claiming an absurd rate, or a long effect, would take the mixer far more memory
// converted for the device than any effect needs: such files open nothing, as a missing one.
TEST_F(PlayerFixture, EffectsOfImplausibleRatesOpenNothing) {
    ASSERT_TRUE(soundtest::WriteWavAtRate(Scratch / "langsam.wav", 1, 1));
    ASSERT_TRUE(soundtest::WriteWavAtRate(Scratch / "knapp.wav", TMediaPlayer::kMinEffectRate - 1, 400));
    ASSERT_TRUE(soundtest::WriteWavAtRate(Scratch / "schnell.wav", TMediaPlayer::kMaxEffectRate + 1, 400));
    ASSERT_TRUE(soundtest::WriteWavAtRate(Scratch / "tief.wav", TMediaPlayer::kMinEffectRate, 400));
    ASSERT_TRUE(soundtest::WriteWavAtRate(Scratch / "hoch.wav", TMediaPlayer::kMaxEffectRate, 400));
    for (const char* refused : {"langsam", "knapp", "schnell"}) {
        Open(Scratch / (std::string(refused) + ".wav"), refused);
        EXPECT_EQ(Send(std::string("status ") + refused + " mode"), "") << refused;
        EXPECT_EQ(Send(std::string("play ") + refused + " from 0"), "") << refused;
    }
    for (const char* taken : {"tief", "hoch"}) {
        Open(Scratch / (std::string(taken) + ".wav"), taken);
        EXPECT_EQ(Send(std::string("status ") + taken + " mode"), "stopped") << taken;
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_LT(Loudest(), 50) << "nothing refused sounded";
}

TEST_F(PlayerFixture, EffectsLongerThanTheLimitOpenNothing) {
    constexpr uint32_t kRate = 8000;
    const auto frames = [&](double seconds) { return static_cast<uint32_t>(seconds * kRate); };
    ASSERT_TRUE(soundtest::WriteWavAtRate(Scratch / "lang.wav", kRate, frames(TMediaPlayer::kMaxEffectSeconds + 0.5)));
    ASSERT_TRUE(
        soundtest::WriteWavAtRate(Scratch / "gerade.wav", kRate, frames(TMediaPlayer::kMaxEffectSeconds - 0.5)));
    Open(Scratch / "lang.wav", "lang");
    Open(Scratch / "gerade.wav", "gerade");
    EXPECT_EQ(Send("status lang mode"), "");
    EXPECT_EQ(Send("status gerade mode"), "stopped");
}

TEST_F(PlayerFixture, MalformedCommandsAnswerNothing) {
    ASSERT_TRUE(soundtest::WriteTone(Scratch / "tone.wav", 0.3));
    Open(Scratch / "tone.wav", "ton");
    for (const std::string& c : std::vector<std::string>{
             "", "   ", "open", "open \"" + Scratch / "tone.wav" + "\" alias", "open \"unclosed alias x",
             "open \"" + Scratch / "tone.wav" + "\"alias y", "play", "play ton from", "play ton from 5",
             "play ton to 0", "status ton", "status ton position", "status ton mode extra", "stop", "close", "fly ton",
             "\"\"", "open \"\" alias leer"}) {
        EXPECT_EQ(Send(c), "") << c;
    }
    EXPECT_EQ(Send("status ton mode"), "stopped") << "no malformed command played the cue";
    EXPECT_EQ(Send("status y mode"), "");
    EXPECT_EQ(Send("status leer mode"), "");
}

TEST_F(PlayerFixture, RandomBytesDoNoHarm) {
    ASSERT_TRUE(soundtest::WriteTone(Scratch / "tone.wav", 0.1));
    Open(Scratch / "tone.wav", "ton");
    std::mt19937 rng(7);
    const std::string alphabet = "openplaystatusclose alias from mode \"\t0ton/.wav";
    for (int i = 0; i < 2000; ++i) {
        std::string c;
        const int n = static_cast<int>(rng() % 40);
        for (int k = 0; k < n; ++k) c += rng() % 4 ? alphabet[rng() % alphabet.size()] : static_cast<char>(rng() % 256);
        Send(c);
    }
    Open(Scratch / "tone.wav", "danach");
    EXPECT_EQ(Send("status danach mode"), "stopped") << "the player still works";
}

// --- without a device or a soundfont ---

TEST(PlayerWithoutDevice, EveryCommandFailsSilentlyAndAtOnce) {
    TScratch scratch;
    ASSERT_TRUE(soundtest::WriteTone(scratch / "tone.wav", 0.3));
    setenv("SDL_AUDIODRIVER", "keines", 1);
    TMediaPlayer player;
    EXPECT_FALSE(player.AudioOpen());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(player.Send("open \"" + scratch / "tone.wav" + "\" alias ton"), "");
    EXPECT_EQ(player.Send("play ton from 0"), "");
    EXPECT_EQ(player.Send("status ton mode"), "");
    EXPECT_EQ(player.Send("close ton"), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
}

TEST(SoundFontSearch, TakesTheFirstFontOfTheVariableThatFluidSynthReads) {
    ASSERT_TRUE(std::filesystem::exists(kSmallFont)) << "no soundfont: install timgm6mb-soundfont";
    TScratch scratch;
    std::ofstream(scratch / "kaputt.sf2") << "x";
    std::filesystem::create_symlink(kSmallFont, scratch / "eins.sf2");
    std::filesystem::create_symlink(kSmallFont, scratch / "zwei.sf2");
    setenv(
        "SDL_SOUNDFONTS",
        (scratch / "fehlt.sf2" + ":" + scratch / "kaputt.sf2" + ":" + scratch / "eins.sf2" + ":" + scratch / "zwei.sf2")
            .c_str(),
        1);
    EXPECT_EQ(FindSoundFont(), scratch / "eins.sf2");
}

TEST(SoundFontSearch, FallsBackToTheDebianPlaces) {
    TScratch scratch;
    const char start[] = "RIFF\x10\0\0\0sfbkLIST";  // a soundfont's first words, no more
    std::ofstream(scratch / "kaputt.sf2").write(start, sizeof start - 1);
    setenv("SDL_SOUNDFONTS", ("/nirgends/fehlt.sf2:" + scratch / "kaputt.sf2").c_str(), 1);
    std::string expected;
    for (const char* p : {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2", kSmallFont})
        if (expected.empty() && std::filesystem::is_regular_file(p)) expected = p;
    EXPECT_EQ(FindSoundFont(), expected);
    unsetenv("SDL_SOUNDFONTS");
    EXPECT_EQ(FindSoundFont(), expected);
}

// A font named by the user that FluidSynth turns down leaves the game its music all the same.
TEST(SoundFontSearch, MusicPlaysWhenTheNamedFontIsRefused) {
    ASSERT_TRUE(std::filesystem::exists(kSmallFont)) << "no soundfont: install timgm6mb-soundfont";
    TScratch scratch;
    std::ofstream(scratch / "kaputt.sf2") << "no soundfont at all";
    ASSERT_TRUE(soundtest::WriteShortMidi(scratch / "kurz.mid", 0.5));
    setenv("SDL_SOUNDFONTS", (scratch / "kaputt.sf2").c_str(), 1);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (scratch / "out.raw").c_str(), 1);
    {
        TMediaPlayer player;
        ASSERT_TRUE(player.AudioOpen());
        EXPECT_NE(player.SoundFont(), scratch / "kaputt.sf2");
        player.Send("open \"" + scratch / "kurz.mid" + "\" alias musik");
        player.Send("play musik from 0");
        std::this_thread::sleep_for(700ms);
    }
    EXPECT_GT(soundtest::Loudest(scratch / "out.raw"), 500);
}

}  // namespace
}  // namespace blubbi
