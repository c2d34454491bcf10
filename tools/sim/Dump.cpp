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
    j["GameActive"] = g.GameActive;
    j["FacingLeft"] = g.FacingLeft;
    j["Walking"] = g.Walking;
    j["CellDragActive"] = g.CellDragActive;
    j["InsertKind"] = g.InsertKind;
    j["BlinkCounter"] = g.BlinkCounter;
    j["LastHitTick"] = g.LastHitTick;
    j["MusicStartTick"] = g.MusicStartTick;
    j["TransitionCounter"] = g.TransitionCounter;
    j["Score"] = g.Score;
    j["Lives"] = g.Lives;
    j["LevelNo"] = g.LevelNo;
    j["StartX"] = g.StartX;
    j["StartY"] = g.StartY;
    j["VelY"] = g.VelY;
    j["WalkFrame"] = g.WalkFrame;
    j["PlayerX"] = g.PlayerX;
    j["PlayerY"] = g.PlayerY;
    j["CellDragValue"] = g.CellDragValue;
    j["InEndCheck"] = g.InEndCheck;
    j["BurstByTouch"] = g.BurstByTouch;
    j["InPaint"] = g.InPaint;
    j["MusicJustStarted"] = g.MusicJustStarted;
    j["EndCheckPending"] = g.EndCheckPending;
    j["InDialog"] = g.InDialog;
    j["Paused"] = g.Paused;
    j["KeyJump"] = g.KeyJump;
    j["KeyFire"] = g.KeyFire;
    j["KeyLeft"] = g.KeyLeft;
    j["KeyRight"] = g.KeyRight;
    j["OnGround"] = g.OnGround;
    j["HitTimer"] = g.HitTimer;
    j["LastFireTick"] = g.LastFireTick;
    j["CheatBuffer"] = Utf8FromLatin1(g.CheatBuffer);  // JSON wants UTF-8
    j["EditorMode"] = g.EditorMode;
    j["MusicEnabled"] = g.MusicEnabled;
    j["SoundEnabled"] = g.SoundEnabled;
    j["Timer2Enabled"] = g.Timer2Enabled;
    j["Timer3Enabled"] = g.Timer3Enabled;
    j["Grid"] = ordered_json(std::vector<int>(g.Grid.begin(), g.Grid.end()));
    j["Enemies"] = List(g.Enemies, Enemy);
    j["Bubbles"] = List(g.Bubbles, Bubble);
    j["Items"] = List(g.Items, Item);
    j["Sent"] = sent;
    j["Dialogs"] = dialogs;
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace blubbi::sim
