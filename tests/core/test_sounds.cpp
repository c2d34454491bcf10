// Sound cues and music: the command strings sent at start-up, by the switches, by the keep-alive
// and at shutdown, and the keep-alive's settle time.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "game/MainForm.h"
#include "platform/headless/HeadlessPlatform.h"

namespace blubbi {
namespace {

using Strings = std::vector<std::string>;

const Strings kOpens{
    "open \"/opt/blubbi/sound/blasen.wav\" alias blasen",
    "open \"/opt/blubbi/sound/platzen.wav\" alias platzen",
    "open \"/opt/blubbi/sound/springen.wav\" alias springen",
    "open \"/opt/blubbi/sound/feder.wav\" alias feder",
    "open \"/opt/blubbi/sound/sammeln.wav\" alias sammeln",
    "open \"/opt/blubbi/sound/getroffen.wav\" alias getroffen",
    "open \"/opt/blubbi/sound/getspeed6.mid\" alias musik",
};
const Strings kCloses{"close blasen",  "close platzen",   "close springen", "close feder",
                      "close sammeln", "close getroffen", "close musik"};

struct SoundFixture : ::testing::Test {
    THeadlessPlatform Platform;
    TMainForm Game{Platform};
    std::string Mode = "playing";  // what the device answers to the status command

    SoundFixture() {
        Platform.MediaAnswer = [this](const std::string& c) { return c == "status musik mode" ? Mode : std::string(); };
        Game.AppDir = "/opt/blubbi/";
    }
    // Opens the sounds at `start` and forgets what that sent.
    void StartAt(uint32_t start) {
        Platform.Clock = start;
        Game.OpenSounds();
        Platform.Sent.clear();
    }
    Strings KeepAliveAt(uint32_t now) {
        Platform.Clock = now;
        Platform.Sent.clear();
        Game.MusicKeepAlive();
        return Platform.Sent;
    }
};

// --- start-up and shutdown ---

TEST_F(SoundFixture, StartUpOpensTheSevenAliasesInTableOrderThenPlaysTheMusic) {
    Platform.Clock = 12345;
    Game.OpenSounds();
    Strings expected = kOpens;
    expected.push_back("play musik from 0");
    EXPECT_EQ(Platform.Sent, expected);
    EXPECT_EQ(Game.MusicJustStarted, 1);
    EXPECT_EQ(Game.MusicStartTick, 12345u);
}

TEST_F(SoundFixture, PathWithBlanksStandsInQuotes) {
    Game.AppDir = "/home/an na/Blubbi Blubbo/";
    Game.OpenSounds();
    ASSERT_GE(Platform.Sent.size(), 1u);
    EXPECT_EQ(Platform.Sent[0], "open \"/home/an na/Blubbi Blubbo/sound/blasen.wav\" alias blasen");
}

TEST_F(SoundFixture, MusicStartsAtStartUpEvenWhenSwitchedOff) {
    Game.MusicEnabled = 0;
    Game.OpenSounds();
    ASSERT_EQ(Platform.Sent.size(), 8u);
    EXPECT_EQ(Platform.Sent.back(), "play musik from 0");
    EXPECT_EQ(Game.MusicJustStarted, 1);
}

TEST_F(SoundFixture, ShutdownClosesTheSevenAliasesInTableOrder) {
    Game.CloseSounds();
    EXPECT_EQ(Platform.Sent, kCloses);
}

TEST(SoundLifecycle, WholeStartUpAndShutdownSendOnlyTheSoundCommands) {
    THeadlessPlatform platform;
    platform.Dir = "/opt/blubbi/";
    platform.Clock = 5000;
    {
        TMainForm game(platform);
        game.FormCreate();
        Strings expected = kOpens;
        expected.push_back("play musik from 0");
        EXPECT_EQ(platform.Sent, expected);
        EXPECT_EQ(game.MusicStartTick, 5000u);
        platform.Sent.clear();
        game.FormDestroy();
        EXPECT_EQ(platform.Sent, kCloses);
    }
}

// --- effects ---

TEST_F(SoundFixture, EachCuePlaysFromTheStart) {
    const std::pair<TCue, const char*> effects[] = {
        {TCue::Blasen, "play blasen from 0"},     {TCue::Platzen, "play platzen from 0"},
        {TCue::Springen, "play springen from 0"}, {TCue::Feder, "play feder from 0"},
        {TCue::Sammeln, "play sammeln from 0"},   {TCue::Getroffen, "play getroffen from 0"}};
    for (const auto& [cue, command] : effects) {
        Platform.Sent.clear();
        Game.PlayCue(cue);
        EXPECT_EQ(Platform.Sent, Strings{command});
    }
}

TEST_F(SoundFixture, EffectsSwitchedOffSendNothingAtAll) {
    Game.Soundeffekte1Click();
    EXPECT_EQ(Game.SoundEnabled, 0);
    Game.PlayCue(TCue::Sammeln);
    Game.PlayCue(TCue::Getroffen);
    EXPECT_TRUE(Platform.Sent.empty());
    Game.Soundeffekte1Click();
    EXPECT_EQ(Game.SoundEnabled, 1);
    EXPECT_TRUE(Platform.Sent.empty()) << "the switch itself sends nothing";
    Game.PlayCue(TCue::Sammeln);
    EXPECT_EQ(Platform.Sent, Strings{"play sammeln from 0"});
}

// --- keep-alive ---

TEST_F(SoundFixture, KeepAliveWaitsTheSettleTime) {
    StartAt(20000);
    EXPECT_TRUE(KeepAliveAt(20000).empty());
    EXPECT_TRUE(KeepAliveAt(20999).empty());
    EXPECT_EQ(Game.MusicJustStarted, 1);
    EXPECT_EQ(KeepAliveAt(21000), Strings{"status musik mode"});
    EXPECT_EQ(Game.MusicJustStarted, 0);
    EXPECT_EQ(Game.MusicModeSaved, "playing");
    EXPECT_EQ(Game.MusicModeNow, "playing");
}

TEST_F(SoundFixture, SameAnswerKeepsTheMusicAsItIs) {
    StartAt(20000);
    KeepAliveAt(21000);
    for (uint32_t t = 21025; t < 23000; t += 25) EXPECT_EQ(KeepAliveAt(t), Strings{"status musik mode"});
}

TEST_F(SoundFixture, ChangedAnswerRestartsAndSettlesAgain) {
    StartAt(20000);
    KeepAliveAt(21000);
    Mode = "stopped";
    EXPECT_EQ(KeepAliveAt(80000), (Strings{"status musik mode", "play musik from 0"}));
    EXPECT_EQ(Game.MusicJustStarted, 1);
    EXPECT_EQ(Game.MusicStartTick, 80000u);
    EXPECT_EQ(Game.MusicModeNow, "stopped");
    EXPECT_EQ(Game.MusicModeSaved, "playing") << "the reference is only taken after the settle time";
    Mode = "playing";
    EXPECT_TRUE(KeepAliveAt(80975).empty());
    EXPECT_EQ(KeepAliveAt(81000), Strings{"status musik mode"});
    EXPECT_EQ(Game.MusicModeSaved, "playing");
    EXPECT_EQ(KeepAliveAt(81025), Strings{"status musik mode"});
}

TEST_F(SoundFixture, AnswersCompareCaseSensitively) {
    StartAt(20000);
    KeepAliveAt(21000);
    Mode = "Playing";
    EXPECT_EQ(KeepAliveAt(21025), (Strings{"status musik mode", "play musik from 0"}));
}

TEST_F(SoundFixture, DeviceThatNeverAnswersNeverRestarts) {
    Mode = "";
    StartAt(20000);
    KeepAliveAt(21000);
    for (uint32_t t = 21025; t < 90000; t += 5000) EXPECT_EQ(KeepAliveAt(t), Strings{"status musik mode"});
}

TEST_F(SoundFixture, AnswerIsCutToTheBufferSize) {
    Mode = std::string(300, 'x');
    StartAt(20000);
    KeepAliveAt(21000);
    EXPECT_EQ(Game.MusicModeSaved.size(), 255u);
    EXPECT_EQ(KeepAliveAt(21025), Strings{"status musik mode"}) << "the cut answer equals itself";
}

TEST_F(SoundFixture, SettleTimeSurvivesTheTickCounterWrap) {
    StartAt(0xFFFFFF00u);
    EXPECT_TRUE(KeepAliveAt(0xFFFFFF00u + 999u).empty());
    EXPECT_EQ(KeepAliveAt(0xFFFFFF00u + 1000u), Strings{"status musik mode"});
}

// --- the music switch ---

TEST_F(SoundFixture, MusicOffStopsTheMusic) {
    StartAt(20000);
    Game.Hintergrundmusik1Click();
    EXPECT_EQ(Game.MusicEnabled, 0);
    EXPECT_EQ(Platform.Sent, Strings{"stop musik"});
}

TEST_F(SoundFixture, MusicOnAgainRestartsFromTheBeginningAndSettlesAgain) {
    StartAt(20000);
    KeepAliveAt(21000);
    Game.Hintergrundmusik1Click();
    Platform.Clock = 30000;
    Platform.Sent.clear();
    Game.Hintergrundmusik1Click();
    EXPECT_EQ(Game.MusicEnabled, 1);
    EXPECT_EQ(Platform.Sent, Strings{"play musik from 0"});
    EXPECT_EQ(Game.MusicJustStarted, 1);
    EXPECT_EQ(Game.MusicStartTick, 30000u);
    EXPECT_TRUE(KeepAliveAt(30500).empty());
    EXPECT_EQ(KeepAliveAt(31000), Strings{"status musik mode"});
}

// --- the keep-alive inside running frames ---

struct SoundFrames : ::testing::Test {
    THeadlessPlatform Platform;
    TMainForm Game{Platform};
    int StatusAsked() const {
        int n = 0;
        for (const auto& c : Platform.Sent) n += c == "status musik mode";
        return n;
    }
};

TEST_F(SoundFrames, FramesRecordTheModeOnceTheSettleTimeHasPassed) {
    Game.FormCreate();
    for (int i = 0; i < 39; ++i) Platform.Tick(Game);  // 975 ms
    EXPECT_EQ(StatusAsked(), 0);
    Platform.Tick(Game);  // 1000 ms
    EXPECT_EQ(StatusAsked(), 1);
    Platform.Tick(Game);
    EXPECT_EQ(StatusAsked(), 2);
    Game.FormDestroy();
}

TEST_F(SoundFrames, NoKeepAliveWhileMusicIsSwitchedOff) {
    Game.FormCreate();
    Game.Hintergrundmusik1Click();
    for (int i = 0; i < 80; ++i) Platform.Tick(Game);
    EXPECT_EQ(StatusAsked(), 0);
    Game.FormDestroy();
}

}  // namespace
}  // namespace blubbi
