// TGamepads: every game controller SDL knows, read from a timer on the window thread and turned into the game's keys.
#pragma once
#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "game/Events.h"

class QTimer;
struct _SDL_GameController;

namespace blubbi {

class TGamepads : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollMs = 8;  // a third of a frame: a press is never a frame late

    // `send` gets the key events of a pad with its source number (1 and up; the keyboard is 0);
    // `start` is called when a Start button goes down.
    TGamepads(std::function<void(int, TEvent)> send, std::function<void()> start, QObject* parent = nullptr);
    ~TGamepads() override;

    // On: opens SDL's controller part beside the sound's and reads the pads. Off: every pad lets
    // go of its keys and is closed.
    void SetEnabled(bool enabled);
    bool Enabled() const { return IsEnabled; }
    // The pads open now.
    int Count() const { return static_cast<int>(Pads.size()); }
    // Reads plug-ins, unplugs and the state of every pad once (the timer's work).
    void Poll();
    // The game was told that every key is up: what a pad still holds goes down again at its next read.
    void Forget();

private:
    struct TPad {
        _SDL_GameController* Controller = nullptr;
        std::vector<int32_t> Keys;  // the game's keys this pad holds, ascending
        bool Start = false;
    };
    void Open(int deviceIndex);
    // Lets go of the pad's keys; closes it.
    void Close(int32_t instance);
    void Update(int32_t instance, TPad& pad);

    std::function<void(int, TEvent)> Send;
    std::function<void()> OnStart;
    QTimer* Timer;
    bool IsEnabled = false;
    bool SdlReady = false;
    std::map<int32_t, TPad> Pads;  // by SDL's instance id of the joystick
};

}  // namespace blubbi
