// Keys held on several sources as one keyboard, and what a gamepad holds.
#include "platform/session/KeyMerge.h"

#include "game/MainForm.h"

namespace blubbi {

bool TKeyMerge::Press(int source, int32_t key) {
    std::set<int>& holders = Holders[key];
    bool othersHold = false;
    for (const int s : holders) othersHold = othersHold || s != source;
    holders.insert(source);
    return !othersHold;
}

bool TKeyMerge::Release(int source, int32_t key) {
    const auto it = Holders.find(key);
    if (it == Holders.end()) return true;
    it->second.erase(source);
    if (!it->second.empty()) return false;
    Holders.erase(it);
    return true;
}

std::vector<int32_t> TKeyMerge::ReleaseAll(int source) {
    std::vector<int32_t> held;
    for (const auto& [key, holders] : Holders)
        if (holders.count(source)) held.push_back(key);
    std::vector<int32_t> up;
    for (const int32_t key : held)
        if (Release(source, key)) up.push_back(key);
    return up;
}

std::vector<int32_t> TKeyMerge::ReleaseEverything() {
    std::vector<int32_t> up;
    for (const auto& [key, holders] : Holders) up.push_back(key);
    Holders.clear();
    return up;
}

bool TKeyMerge::Pass(int source, const TEvent& event) {
    if (event.Kind == TEventKind::KeyDown) return Press(source, event.A);
    if (event.Kind == TEventKind::KeyUp) return Release(source, event.A);
    return true;
}

std::vector<int32_t> PadKeys(const TPadInput& input) {
    std::vector<int32_t> keys;
    if (input.West || input.East) keys.push_back(VK_SPACE);
    if (input.DpadLeft || input.LeftX < -kStickDeadZone) keys.push_back(VK_LEFT);
    if (input.South) keys.push_back(VK_UP);
    if (input.DpadRight || input.LeftX > kStickDeadZone) keys.push_back(VK_RIGHT);
    return keys;
}

}  // namespace blubbi
