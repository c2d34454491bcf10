// Writing the game state as one line of JSON.
#include "tools/sim/Dump.h"

#include <nlohmann/json.hpp>

#include "game/Latin1.h"

namespace blubbi::sim {

using nlohmann::ordered_json;

namespace {

ordered_json Enemy(const TEnemy& e) {
    return {
        {"Timer", e.Timer},     {"AnimCounter", e.AnimCounter}, {"Aux", e.Aux},   {"DirX", e.DirX}, {"Width", e.Width},
        {"Height", e.Height},   {"SpeedY", e.SpeedY},           {"Kind", e.Kind}, {"X", e.X},       {"Y", e.Y},
        {"Removed", e.Removed}, {"Trapped", e.Trapped}};
}

ordered_json Bubble(const TBubble& b) {
    return {{"BurstStep", b.BurstStep},
            {"EnemyIndex", b.EnemyIndex},
            {"SpawnTick", b.SpawnTick},
            {"SpeedX", b.SpeedX},
            {"X", b.X},
            {"Y", b.Y},
            {"HasEnemy", b.HasEnemy}};
}

ordered_json Item(const TItem& i) {
    return {{"X", i.X}, {"Y", i.Y}, {"Frame", i.Frame}, {"SpeedY", i.SpeedY}, {"Collected", i.Collected}};
}

template <class T, class F>
ordered_json List(const std::unique_ptr<TDynaArray<T>>& list, F row) {
    ordered_json out = ordered_json::array();
    if (list)
        for (int32_t i = 0; i < list->Count; ++i) out.push_back(row((*list)[i]));
    return out;
}

}  // namespace

std::string DumpState(const TMainForm& g, uint32_t tick, const std::vector<std::string>& sent,
                      const std::vector<std::string>& dialogs) {
    ordered_json j;
    j["Tick"] = tick;
    ForEachField(static_cast<const TGameRecord&>(g), [&](const char* name, const auto& v, TFieldRole) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>)
            j[name] = Utf8FromLatin1(v);  // JSON wants UTF-8
        else if constexpr (std::is_integral_v<T>)
            j[name] = v;
        else
            j[name] = ordered_json(std::vector<int>(v.begin(), v.end()));
    });
    j["Enemies"] = List(g.Enemies, Enemy);
    j["Bubbles"] = List(g.Bubbles, Bubble);
    j["Items"] = List(g.Items, Item);
    j["Sent"] = sent;
    j["Dialogs"] = dialogs;
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace blubbi::sim
