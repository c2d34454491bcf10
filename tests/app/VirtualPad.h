// The virtual game controller the gamepad tests plug in: SDL's own, buttons and axes in SDL's order.
#pragma once
#include <SDL.h>

namespace blubbi::test {

// Plugs one in and opens it; nullptr when SDL cannot. The list of joysticks stays still between
// attaching and opening by its index, even while another thread polls.
inline SDL_Joystick* PlugInVirtualPad() {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "Blubbi test pad";
    SDL_LockJoysticks();
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    SDL_Joystick* joystick = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    SDL_UnlockJoysticks();
    return joystick;
}

}  // namespace blubbi::test
