// Gamepads: keys merged over sources, and SDL's virtual pads driving the game in the window.
#include <SDL.h>
#include <gtest/gtest.h>

#include <QSettings>
#include <QTest>
#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "app/Addresses.h"
#include "app/GameRecording.h"
#include "app/Gamepad.h"
#include "app/MainWindow.h"
#include "app/PaintBox.h"
#include "app/QtPlatform.h"
#include "game/MainForm.h"
#include "gfx/BildIO.h"
#include "platform/replay/ReplayFormat.h"
#include "platform/session/KeyMerge.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/VirtualPad.h"
#include "tests/support/LevelBytes.h"

using namespace blubbi;
using blubbi::test::WaitFor;

TEST(KeyMerge, AKeyHeldOnSeveralSourcesGoesDownWithTheFirstAndUpWithTheLast) {
    TKeyMerge merge;
    const int keyboard = TKeyMerge::kKeyboard, pad = 1, otherPad = 2;
    EXPECT_TRUE(merge.Press(keyboard, VK_RIGHT));
    EXPECT_FALSE(merge.Press(pad, VK_RIGHT));
    EXPECT_FALSE(merge.Release(keyboard, VK_RIGHT));  // the pad still holds it
    EXPECT_TRUE(merge.Held(VK_RIGHT));
    EXPECT_TRUE(merge.Release(pad, VK_RIGHT));
    EXPECT_FALSE(merge.Held(VK_RIGHT));

    // The keyboard alone passes as it always did, also a press whose release got lost.
    EXPECT_TRUE(merge.Pass(keyboard, MakeEvent(TEventKind::KeyDown, VK_LEFT)));
    EXPECT_TRUE(merge.Pass(keyboard, MakeEvent(TEventKind::KeyDown, VK_LEFT)));
    EXPECT_TRUE(merge.Pass(keyboard, MakeEvent(TEventKind::KeyUp, VK_LEFT)));
    EXPECT_TRUE(merge.Pass(keyboard, MakeEvent(TEventKind::KeyUp, VK_LEFT)));
    EXPECT_TRUE(merge.Pass(pad, MakeEvent(TEventKind::Tick)));

    // A pad that goes lets go of its keys, but not of those another source holds too.
    EXPECT_TRUE(merge.Press(pad, VK_LEFT));
    EXPECT_TRUE(merge.Press(pad, VK_SPACE));
    EXPECT_FALSE(merge.Press(otherPad, VK_SPACE));
    EXPECT_EQ(merge.ReleaseAll(pad), std::vector<int32_t>{VK_LEFT});
    EXPECT_TRUE(merge.Held(VK_SPACE));
    EXPECT_FALSE(merge.Held(VK_LEFT));
    EXPECT_TRUE(merge.ReleaseAll(pad).empty());
}

TEST(PadKeys, DpadAndStickWalkBeyondTheDeadZoneSouthJumpsWestAndEastSpit) {
    EXPECT_TRUE(PadKeys({}).empty());
    TPadInput in;
    in.LeftX = -kStickDeadZone;  // at the edge: still resting
    EXPECT_TRUE(PadKeys(in).empty());
    in.LeftX = -kStickDeadZone - 1;
    EXPECT_EQ(PadKeys(in), std::vector<int32_t>{VK_LEFT});
    in.LeftX = kStickDeadZone + 1;
    EXPECT_EQ(PadKeys(in), std::vector<int32_t>{VK_RIGHT});
    in.LeftX = kStickDeadZone;
    EXPECT_TRUE(PadKeys(in).empty());
    in = {};
    in.DpadLeft = true;
    in.South = true;
    in.East = true;
    EXPECT_EQ(PadKeys(in), (std::vector<int32_t>{VK_SPACE, VK_LEFT, VK_UP}));
    in = {};
    in.DpadRight = true;
    in.West = true;
    EXPECT_EQ(PadKeys(in), (std::vector<int32_t>{VK_SPACE, VK_RIGHT}));
}

namespace {

// A pad of SDL's own making, known to it as a game controller: buttons and axes in SDL's order.
// It holds SDL's joystick part for itself, so it outlives a window that lets go of its pads.
class TVirtualPad {
public:
    TVirtualPad() {
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return;
        Initialised = true;
        Joystick = test::PlugInVirtualPad();
        if (Joystick) Instance = SDL_JoystickInstanceID(Joystick);
    }
    ~TVirtualPad() {
        Unplug();
        if (Initialised) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    TVirtualPad(const TVirtualPad&) = delete;
    TVirtualPad& operator=(const TVirtualPad&) = delete;

    bool Plugged() const { return Joystick != nullptr; }
    void Button(SDL_GameControllerButton button, bool down) {
        SDL_JoystickSetVirtualButton(Joystick, button, down ? 1 : 0);
    }
    void StickX(int16_t x) { SDL_JoystickSetVirtualAxis(Joystick, SDL_CONTROLLER_AXIS_LEFTX, x); }
    void Unplug() {
        if (!Joystick) return;
        SDL_JoystickClose(Joystick);
        Joystick = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == Instance) SDL_JoystickDetachVirtual(i);
    }

private:
    bool Initialised = false;
    SDL_Joystick* Joystick = nullptr;
    SDL_JoystickID Instance = -1;
};

class GamepadTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings(addr::SettingsFile(), QSettings::IniFormat).remove(QStringLiteral("gamepad"));
        Window = std::make_unique<TMainWindow>();
        Window->CreateForms();
        Game().Sheets[kSlotStein1] = newdib(19, 19, 8, nullptr, 0);  // frames draw
        // The player on the floor of an empty bordered field, the level already slid in.
        const std::vector<uint8_t> grid = test::BorderGrid();
        std::copy(grid.begin(), grid.end(), Game().Grid.begin());
        Game().Enemies->Clear();
        Game().TransitionCounter = 0;
        Game().PlayerX = 200;
        Game().PlayerY = 380 - 19 - 46;
        Window->show();
        Window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    }
    void TearDown() override {
        QSettings(addr::SettingsFile(), QSettings::IniFormat).remove(QStringLiteral("gamepad"));
    }
    TMainForm& Game() { return Window->Game(); }
    // The player's position stands still for a few frames.
    bool Stands() {
        const int32_t x = Game().PlayerX;
        QTest::qWait(150);
        return Game().PlayerX == x;
    }

    std::unique_ptr<TMainWindow> Window;
};

}  // namespace

// What the window's recording holds of the game so far, but the frame ticks.
std::vector<TEvent> Recorded(TMainWindow& window) {
    TReplayError error;
    const std::optional<TReplay> replay = ParseReplay(window.Recording().Text(), TReplayLimits{}, error);
    EXPECT_TRUE(replay) << error.Line << ": " << error.Message;
    std::vector<TEvent> events;
    if (!replay) return events;
    for (const TReplayStep& step : replay->Steps)
        if (step.Kind == TReplayStep::TKind::Event && step.Event.Kind != TEventKind::Tick) events.push_back(step.Event);
    return events;
}

TEST_F(GamepadTest, APadPluggedInDuringPlayWalksJumpsSpitsAndPausesThroughTheWindowsDoor) {
    const size_t before = Recorded(*Window).size();
    ASSERT_EQ(Window->Gamepads().Count(), 0);
    TVirtualPad pad;
    ASSERT_TRUE(pad.Plugged()) << SDL_GetError();
    ASSERT_TRUE(WaitFor([&] { return Window->Gamepads().Count() == 1; }, 2000));

    // The d-pad walks; the key the game sees is the right arrow, through the recorder's door.
    const int32_t x0 = Game().PlayerX;
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    EXPECT_TRUE(WaitFor([&] { return Game().PlayerX >= x0 + 30; }, 2000));
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    EXPECT_TRUE(WaitFor([&] { return Game().KeyRight == 0; }, 1000));
    EXPECT_TRUE(Stands());
    std::vector<TEvent> seen = Recorded(*Window);
    ASSERT_EQ(seen.size(), before + 2);
    EXPECT_EQ(seen[before].Kind, TEventKind::KeyDown);
    EXPECT_EQ(seen[before].A, VK_RIGHT);
    EXPECT_EQ(seen[before + 1].Kind, TEventKind::KeyUp);
    EXPECT_EQ(seen[before + 1].A, VK_RIGHT);

    // The stick walks only beyond its dead zone.
    pad.StickX(-kStickDeadZone / 2);
    EXPECT_TRUE(Stands());
    EXPECT_EQ(Game().KeyLeft, 0);
    const int32_t x1 = Game().PlayerX;
    pad.StickX(-30000);
    EXPECT_TRUE(WaitFor([&] { return Game().PlayerX <= x1 - 30; }, 2000));
    pad.StickX(0);
    EXPECT_TRUE(WaitFor([&] { return Game().KeyLeft == 0; }, 1000));

    // South jumps: the player leaves the floor.
    const int32_t floorY = Game().PlayerY;
    pad.Button(SDL_CONTROLLER_BUTTON_A, true);
    EXPECT_TRUE(WaitFor([&] { return Game().PlayerY <= floorY - 50; }, 2000));
    pad.Button(SDL_CONTROLLER_BUTTON_A, false);
    EXPECT_TRUE(WaitFor([&] { return Game().KeyJump == 0 && Game().PlayerY == floorY; }, 3000));

    // West and east each spit a bubble.
    for (const SDL_GameControllerButton button : {SDL_CONTROLLER_BUTTON_X, SDL_CONTROLLER_BUTTON_B}) {
        const int32_t bubbles = Game().Bubbles->Count;
        pad.Button(button, true);
        EXPECT_TRUE(WaitFor([&] { return Game().Bubbles->Count == bubbles + 1; }, 2000)) << button;
        pad.Button(button, false);
        EXPECT_TRUE(WaitFor([&] { return Game().KeyFire == 0; }, 1000));
    }

    // Start pauses and resumes, as Esc does.
    pad.Button(SDL_CONTROLLER_BUTTON_START, true);
    EXPECT_TRUE(WaitFor([&] { return Game().Paused == 1; }, 1000));
    EXPECT_TRUE(Window->Pause1->isChecked());
    pad.Button(SDL_CONTROLLER_BUTTON_START, false);
    QTest::qWait(50);
    EXPECT_EQ(Game().Paused, 1);
    pad.Button(SDL_CONTROLLER_BUTTON_START, true);
    EXPECT_TRUE(WaitFor([&] { return Game().Paused == 0; }, 1000));
    seen = Recorded(*Window);
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](const TEvent& e) { return e.Kind == TEventKind::Pause; }), 2);
}

TEST_F(GamepadTest, UnpluggingAPadWhileItWalksStopsThePlayer) {
    auto pad = std::make_unique<TVirtualPad>();
    ASSERT_TRUE(pad->Plugged()) << SDL_GetError();
    ASSERT_TRUE(WaitFor([&] { return Window->Gamepads().Count() == 1; }, 2000));
    const int32_t x0 = Game().PlayerX;
    pad->Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    ASSERT_TRUE(WaitFor([&] { return Game().PlayerX >= x0 + 20; }, 2000));
    pad->Unplug();
    EXPECT_TRUE(WaitFor([&] { return Window->Gamepads().Count() == 0 && Game().KeyRight == 0; }, 2000));
    EXPECT_TRUE(Stands());

    // A pad plugged in again is taken as a new one.
    pad = std::make_unique<TVirtualPad>();
    EXPECT_TRUE(WaitFor([&] { return Window->Gamepads().Count() == 1; }, 2000));
    pad->Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    EXPECT_TRUE(WaitFor([&] { return Game().KeyLeft == 1; }, 2000));
}

TEST_F(GamepadTest, KeyboardAndPadHoldingTheSameDirectionWalkUntilBothLetGo) {
    TVirtualPad pad;
    ASSERT_TRUE(pad.Plugged()) << SDL_GetError();
    ASSERT_TRUE(WaitFor([&] { return Window->Gamepads().Count() == 1; }, 2000));
    QWidget* box = Window->PaintBox1;

    // Keyboard first, pad second; the keyboard lets go first.
    QTest::keyPress(box, Qt::Key_Right);
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    QTest::qWait(60);
    QTest::keyRelease(box, Qt::Key_Right);
    EXPECT_EQ(Game().KeyRight, 1);
    EXPECT_FALSE(Stands());
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    EXPECT_TRUE(WaitFor([&] { return Game().KeyRight == 0; }, 1000));
    EXPECT_TRUE(Stands());

    // Pad first; the pad lets go first.
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    ASSERT_TRUE(WaitFor([&] { return Game().KeyLeft == 1; }, 1000));
    QTest::keyPress(box, Qt::Key_Left);
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
    QTest::qWait(60);
    EXPECT_EQ(Game().KeyLeft, 1);
    EXPECT_FALSE(Stands());
    QTest::keyRelease(box, Qt::Key_Left);
    EXPECT_EQ(Game().KeyLeft, 0);
    EXPECT_TRUE(Stands());
}

TEST_F(GamepadTest, TheGamepadOptionLetsGoOfThePadsAndIsRemembered) {
    EXPECT_TRUE(Window->Gamepad1->isCheckable());
    EXPECT_TRUE(Window->Gamepad1->isChecked());
    TVirtualPad pad;
    ASSERT_TRUE(pad.Plugged()) << SDL_GetError();
    ASSERT_TRUE(WaitFor([&] { return Window->Gamepads().Count() == 1; }, 2000));
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    ASSERT_TRUE(WaitFor([&] { return Game().KeyRight == 1; }, 1000));

    Window->Gamepad1->trigger();
    EXPECT_FALSE(Window->Gamepad1->isChecked());
    EXPECT_EQ(Game().KeyRight, 0);  // the held direction went with the pad
    EXPECT_EQ(Window->Gamepads().Count(), 0);
    EXPECT_FALSE(QSettings(addr::SettingsFile(), QSettings::IniFormat).value(QStringLiteral("gamepad"), true).toBool());
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    EXPECT_TRUE(Stands());
    EXPECT_EQ(Game().KeyLeft, 0);

    // Off at the next start too.
    Window.reset();
    Window = std::make_unique<TMainWindow>();
    EXPECT_FALSE(Window->Gamepad1->isChecked());
    EXPECT_FALSE(Window->Gamepads().Enabled());
    Window->Gamepad1->trigger();
    EXPECT_TRUE(QSettings(addr::SettingsFile(), QSettings::IniFormat).value(QStringLiteral("gamepad"), false).toBool());
    EXPECT_TRUE(WaitFor([&] { return Window->Gamepads().Count() == 1; }, 2000));
}
