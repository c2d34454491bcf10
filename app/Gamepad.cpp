// Gamepads through SDL's game-controller part: plug-ins, unplugs, and the pads' buttons as the game's keys.
#include "app/Gamepad.h"

#include <SDL.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <iterator>

#include "platform/session/KeyMerge.h"

namespace blubbi {

namespace {
// The pads' source numbers follow SDL's instance ids, which are never reused in a run.
int SourceOf(int32_t instance) { return instance + 1; }

bool Button(SDL_GameController* c, SDL_GameControllerButton b) { return SDL_GameControllerGetButton(c, b) != 0; }

std::vector<int32_t> Minus(const std::vector<int32_t>& a, const std::vector<int32_t>& b) {
    std::vector<int32_t> out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}
}  // namespace

TGamepads::TGamepads(std::function<void(int, TEvent)> send, std::function<void()> start, QObject* parent)
    : QObject(parent), Send(std::move(send)), OnStart(std::move(start)), Timer(new QTimer(this)) {
    Timer->setObjectName(QStringLiteral("GamepadTimer"));
    Timer->setInterval(kPollMs);
    connect(Timer, &QTimer::timeout, this, &TGamepads::Poll);
}

TGamepads::~TGamepads() {
    // The game may be gone already: the pads close without a word to it.
    for (auto& [instance, pad] : Pads) SDL_GameControllerClose(pad.Controller);
    Pads.clear();
    if (SdlReady) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void TGamepads::SetEnabled(bool enabled) {
    if (enabled == IsEnabled) return;
    IsEnabled = enabled;
    if (enabled) {
        // Counted by SDL: the sound's audio part stays as it is.
        SdlReady = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
        if (!SdlReady) return;
        // Pads plugged in before the start announce themselves as plug-ins too; Open takes each once.
        for (int i = 0; i < SDL_NumJoysticks(); ++i) Open(i);
        Timer->start();
        return;
    }
    Timer->stop();
    while (!Pads.empty()) Close(Pads.begin()->first);
    if (SdlReady) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    SdlReady = false;
}

void TGamepads::Open(int deviceIndex) {
    if (!SDL_IsGameController(deviceIndex)) return;
    const SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    if (instance < 0 || Pads.count(instance)) return;
    SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
    if (!controller) return;
    Pads[instance].Controller = controller;
}

void TGamepads::Close(int32_t instance) {
    const auto it = Pads.find(instance);
    if (it == Pads.end()) return;
    const std::vector<int32_t> keys = std::move(it->second.Keys);
    SDL_GameControllerClose(it->second.Controller);
    Pads.erase(it);
    // A direction held while the pad went away would walk on for ever.
    for (const int32_t key : keys) Send(SourceOf(instance), MakeEvent(TEventKind::KeyUp, key));
}

void TGamepads::Poll() {
    if (!SdlReady) return;
    // A modal dialog has the player's attention, and the keyboard's: the pads wait for it too.
    if (QApplication::activeModalWidget()) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_CONTROLLERDEVICEADDED) Open(event.cdevice.which);
        if (event.type == SDL_CONTROLLERDEVICEREMOVED) Close(event.cdevice.which);
    }
    std::vector<int32_t> instances;
    for (const auto& [instance, pad] : Pads) instances.push_back(instance);
    // The game is told as each pad is read; a pad may go while another one's events are handled.
    for (const int32_t instance : instances) {
        const auto it = Pads.find(instance);
        if (it == Pads.end()) continue;
        if (!SDL_GameControllerGetAttached(it->second.Controller)) {
            Close(instance);
            continue;
        }
        Update(instance, it->second);
    }
}

void TGamepads::Forget() {
    for (auto& [instance, pad] : Pads) pad.Keys.clear();
}

void TGamepads::Update(int32_t instance, TPad& pad) {
    SDL_GameController* c = pad.Controller;
    TPadInput input;
    input.DpadLeft = Button(c, SDL_CONTROLLER_BUTTON_DPAD_LEFT);
    input.DpadRight = Button(c, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    input.LeftX = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX);
    input.South = Button(c, SDL_CONTROLLER_BUTTON_A);
    input.West = Button(c, SDL_CONTROLLER_BUTTON_X);
    input.East = Button(c, SDL_CONTROLLER_BUTTON_B);
    const bool start = Button(c, SDL_CONTROLLER_BUTTON_START);
    const bool startPressed = start && !pad.Start;
    pad.Start = start;

    std::vector<int32_t> keys = PadKeys(input);
    const std::vector<int32_t> up = Minus(pad.Keys, keys), down = Minus(keys, pad.Keys);
    pad.Keys = std::move(keys);
    for (const int32_t key : up) Send(SourceOf(instance), MakeEvent(TEventKind::KeyUp, key));
    for (const int32_t key : down) Send(SourceOf(instance), MakeEvent(TEventKind::KeyDown, key));
    if (startPressed && OnStart) OnStart();
}

}  // namespace blubbi
