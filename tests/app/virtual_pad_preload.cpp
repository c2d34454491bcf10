// A gamepad for the real program, loaded into it with LD_PRELOAD: SDL's virtual pad, played from a command file.
//
// BLUBBI_TEST_PAD names the command file. Once the program has opened SDL's game-controller part, a
// thread plugs in a virtual game controller and plays the lines appended to the file, one at a time:
//   button <south|east|west|north|start|back|dpup|dpdown|dpleft|dpright> <0|1>
//   axis <leftx|lefty|rightx|righty> <-32768..32767>
//   detach            the pad goes, as if unplugged
//   attach            a new pad comes
// Each line done, or "error <line>", is appended to the file named by the same variable plus ".done",
// which starts with "attached" once the first pad is in. Without the variable nothing happens.
#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "tests/app/VirtualPad.h"

namespace {

using namespace std::chrono_literals;

class TPadPlayer {
public:
    explicit TPadPlayer(std::string commands) : Commands(std::move(commands)), Done(Commands + ".done") {}

    void Run() {
        // Joysticks and their lock exist only once the program has asked for them.
        while (!SDL_WasInit(SDL_INIT_GAMECONTROLLER)) std::this_thread::sleep_for(10ms);
        // A share of SDL's joystick part of our own: the pad stays while the program lets go of its pads.
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return Say("error " + std::string(SDL_GetError()));
        Say(Attach() ? "attached" : "error attach: " + std::string(SDL_GetError()));
        int fd = -1;
        while ((fd = open(Commands.c_str(), O_RDONLY | O_CLOEXEC)) < 0) std::this_thread::sleep_for(50ms);
        std::string pending;
        char chunk[256];
        for (;;) {
            const ssize_t got = read(fd, chunk, sizeof chunk);
            if (got <= 0) {
                // The end of what was written so far: the test appends more later.
                std::this_thread::sleep_for(2ms);
                continue;
            }
            pending.append(chunk, static_cast<size_t>(got));
            for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
                Say(Play(pending.substr(0, end)) ? pending.substr(0, end) : "error " + pending.substr(0, end));
        }
    }

private:
    bool Attach() {
        if (Joystick) return false;
        Joystick = blubbi::test::PlugInVirtualPad();
        if (Joystick) Instance = SDL_JoystickInstanceID(Joystick);
        return Joystick != nullptr;
    }

    bool Detach() {
        if (!Joystick) return false;
        SDL_LockJoysticks();
        SDL_JoystickClose(Joystick);
        Joystick = nullptr;
        bool gone = false;
        for (int i = 0; i < SDL_NumJoysticks() && !gone; ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == Instance) gone = SDL_JoystickDetachVirtual(i) == 0;
        SDL_UnlockJoysticks();
        return gone;
    }

    bool Play(const std::string& line) {
        static const std::map<std::string, SDL_GameControllerButton> buttons = {
            {"south", SDL_CONTROLLER_BUTTON_A},          {"east", SDL_CONTROLLER_BUTTON_B},
            {"west", SDL_CONTROLLER_BUTTON_X},           {"north", SDL_CONTROLLER_BUTTON_Y},
            {"start", SDL_CONTROLLER_BUTTON_START},      {"back", SDL_CONTROLLER_BUTTON_BACK},
            {"dpup", SDL_CONTROLLER_BUTTON_DPAD_UP},     {"dpdown", SDL_CONTROLLER_BUTTON_DPAD_DOWN},
            {"dpleft", SDL_CONTROLLER_BUTTON_DPAD_LEFT}, {"dpright", SDL_CONTROLLER_BUTTON_DPAD_RIGHT}};
        static const std::map<std::string, SDL_GameControllerAxis> axes = {{"leftx", SDL_CONTROLLER_AXIS_LEFTX},
                                                                           {"lefty", SDL_CONTROLLER_AXIS_LEFTY},
                                                                           {"rightx", SDL_CONTROLLER_AXIS_RIGHTX},
                                                                           {"righty", SDL_CONTROLLER_AXIS_RIGHTY}};
        std::istringstream in(line);
        std::string verb, name;
        long value = 0;
        in >> verb;
        if (verb == "attach") return Attach();
        if (verb == "detach") return Detach();
        if (!(in >> name >> value) || !Joystick) return false;
        // The setters take SDL's joystick lock; the program reads the pad's state on its own thread.
        if (const auto b = buttons.find(name); verb == "button" && b != buttons.end() && (value == 0 || value == 1))
            return SDL_JoystickSetVirtualButton(Joystick, b->second, static_cast<Uint8>(value)) == 0;
        if (const auto a = axes.find(name); verb == "axis" && a != axes.end() && value >= -32768 && value <= 32767)
            return SDL_JoystickSetVirtualAxis(Joystick, a->second, static_cast<Sint16>(value)) == 0;
        return false;
    }

    void Say(const std::string& line) const {
        if (FILE* f = std::fopen(Done.c_str(), "a")) {
            std::fprintf(f, "%s\n", line.c_str());
            std::fclose(f);
        }
    }

    std::string Commands, Done;
    SDL_Joystick* Joystick = nullptr;
    SDL_JoystickID Instance = -1;
};

__attribute__((constructor)) void StartPadPlayer() {
    const char* commands = std::getenv("BLUBBI_TEST_PAD");
    if (!commands || !*commands) return;
    // Lives as long as the program; the thread waits for commands until it ends.
    std::thread([player = new TPadPlayer(commands)] { player->Run(); }).detach();
}

}  // namespace
