// A game played on the real sound player (SDL's disk audio driver): effects sound when their
// events happen, and the background music starts again when it has ended.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "SoundTestFiles.h"
#include "platform/headless/HeadlessPlatform.h"
#include "sound/MediaPlayer.h"

namespace blubbi {
namespace {

using namespace std::chrono_literals;

// The headless game whose media commands reach the real player.
class TPlayingPlatform : public THeadlessPlatform {
public:
    std::optional<TMediaPlayer> Player;
    std::string SendMediaCommand(const std::string& command) override {
        THeadlessPlatform::SendMediaCommand(command);
        return Player ? Player->Send(command) : std::string();
    }
};

struct GameSound : ::testing::Test {
    soundtest::TScratch Scratch;
    std::string Output = Scratch / "out.raw";
    TPlayingPlatform Platform;
    TMainForm Game{Platform};

    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", Output.c_str(), 1);
        if (std::filesystem::exists("/usr/share/sounds/sf2/TimGM6mb.sf2"))
            setenv("SDL_SOUNDFONTS", "/usr/share/sounds/sf2/TimGM6mb.sf2", 1);
        // The game's effects, and a tune of two seconds: longer than the keep-alive's settle
        // time, so its mode is recorded while it plays, and short enough to end soon.
        std::filesystem::create_directories(Scratch / "sound");
        for (const char* cue : {"blasen", "platzen", "springen", "feder", "sammeln", "getroffen"})
            std::filesystem::copy_file(std::string(BLUBBI_SOUND_OUT) + "/" + cue + ".wav",
                                       Scratch / "sound/" + cue + ".wav");
        ASSERT_TRUE(soundtest::WriteShortMidi(Scratch / "sound/getspeed6.mid", 2.0));
        Platform.Dir = Scratch / "";
        Platform.Player.emplace();
        ASSERT_TRUE(Platform.Player->AudioOpen());
        Game.FormCreate();
    }

    // Ticks in real time, as the game's timer does.
    void Play(int ticks) {
        for (int i = 0; i < ticks; ++i) {
            Platform.Tick(Game);
            std::this_thread::sleep_for(25ms);
        }
    }
    size_t Written() const {
        std::error_code ec;
        const auto size = std::filesystem::file_size(Output, ec);
        return ec ? 0 : static_cast<size_t>(size);
    }
    // The loudest sample the device was sent between two byte offsets.
    int Loudest(size_t from, size_t to) const { return soundtest::Loudest(Output, from, to); }
};

TEST_F(GameSound, SpittingSoundsWhenTheBubbleLeaves) {
    Game.Hintergrundmusik1Click();  // music off: only the effect may sound
    Play(60);                       // the start-up slide
    const size_t quietFrom = Written();
    Play(8);
    const size_t spitAt = Written();
    EXPECT_LT(Loudest(quietFrom, spitAt), 200);
    Game.FormKeyDown(VK_SPACE);
    Play(1);
    Game.FormKeyUp(VK_SPACE);
    ASSERT_EQ(Platform.Sent.back(), "play blasen from 0");
    Play(10);
    EXPECT_GT(Loudest(spitAt, Written()), 4000);
}

TEST_F(GameSound, MusicStartsAgainAfterItEnds) {
    ASSERT_FALSE(Platform.Player->SoundFont().empty()) << "no soundfont: install timgm6mb-soundfont";
    Play(160);  // 4 s: the tune ends after two and the keep-alive restarts it
    const auto starts = std::count(Platform.Sent.begin(), Platform.Sent.end(), "play musik from 0");
    EXPECT_GE(starts, 2);
    EXPECT_GT(Loudest(0, Written()), 500);
}

}  // namespace
}  // namespace blubbi
