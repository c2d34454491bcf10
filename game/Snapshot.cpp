// Saving and restoring the whole game state, field by field in one fixed order.
#include "game/Snapshot.h"

#include <cstring>
#include <string>
#include <type_traits>

namespace blubbi {

namespace {

constexpr uint32_t kStateFormat = 1;
// Far above any level's lists; a larger count means damaged bytes.
constexpr uint32_t kMaxRecords = 1u << 20;
constexpr uint32_t kMaxText = 1u << 16;

class TWriter {
public:
    std::vector<uint8_t> Bytes;
    template <class T>
    void Put(T v) {
        static_assert(std::is_integral_v<T>);
        using U = std::make_unsigned_t<T>;
        auto u = static_cast<U>(v);
        for (size_t i = 0; i < sizeof(T); ++i) Bytes.push_back(static_cast<uint8_t>(uint64_t{u} >> (8 * i)));
    }
    void Raw(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        Bytes.insert(Bytes.end(), b, b + n);
    }
    void Text(const std::string& s) {
        Put(static_cast<uint32_t>(s.size()));
        Raw(s.data(), s.size());
    }
};

class TReader {
public:
    TReader(const uint8_t* d, size_t n) : Data(d), Size(n) {}
    bool Ok = true;
    template <class T>
    T Get() {
        static_assert(std::is_integral_v<T>);
        using U = std::make_unsigned_t<T>;
        if (Size - At < sizeof(T)) {
            Ok = false;
            return T{};
        }
        U u = 0;
        for (size_t i = 0; i < sizeof(T); ++i) u = static_cast<U>(u | (static_cast<U>(Data[At + i]) << (8 * i)));
        At += sizeof(T);
        return static_cast<T>(u);
    }
    const uint8_t* Raw(size_t n) {
        if (Size - At < n) {
            Ok = false;
            return nullptr;
        }
        const uint8_t* p = Data + At;
        At += n;
        return p;
    }
    std::string Text() {
        const uint32_t n = Get<uint32_t>();
        if (!Ok || n > kMaxText) {
            Ok = false;
            return {};
        }
        const uint8_t* p = Raw(n);
        return p ? std::string(reinterpret_cast<const char*>(p), n) : std::string();
    }
    bool AtEnd() const { return At == Size; }

private:
    const uint8_t* Data;
    size_t Size;
    size_t At = 0;
};

// Each field once, in one order, for writing and for reading.
template <class F>
void Fields(F&& f, auto& g) {
    f(g.GameActive);
    f(g.FacingLeft);
    f(g.Walking);
    f(g.CellDragActive);
    f(g.InsertKind);
    f(g.BlinkCounter);
    f(g.LastHitTick);
    f(g.MusicStartTick);
    f(g.TransitionCounter);
    f(g.Score);
    f(g.Lives);
    f(g.LevelNo);
    f(g.StartX);
    f(g.StartY);
    f(g.VelY);
    f(g.WalkFrame);
    f(g.PlayerX);
    f(g.PlayerY);
    f(g.CellDragValue);
    f(g.InEndCheck);
    f(g.BurstByTouch);
    f(g.InPaint);
    f(g.MusicJustStarted);
    f(g.EndCheckPending);
    f(g.InDialog);
    f(g.KeyJump);
    f(g.KeyFire);
    f(g.KeyLeft);
    f(g.KeyRight);
    f(g.OnGround);
    f(g.HitTimer);
    f(g.LastFireTick);
    f(g.StartLevelNo);
    f(g.MusicEnabled);
    f(g.SoundEnabled);
    f(g.EditorMode);
    f(g.Timer2Enabled);
    f(g.Timer3Enabled);
    f(g.PlayFieldX);
    f(g.PlayFieldY);
    f(g.Rng.State);
}

template <class T>
void PutList(TWriter& w, const std::unique_ptr<TDynaArray<T>>& list) {
    w.Put<uint8_t>(list ? 1 : 0);
    if (!list) return;
    w.Put(list->Count);
    w.Put(list->Cursor);
    const T* current = list->Current();
    int32_t currentIndex = -1;
    if (current && list->Count > 0) currentIndex = static_cast<int32_t>(current - &(*list)[0]);
    w.Put(currentIndex);
    for (int32_t i = 0; i < list->Count; ++i) w.Raw(&(*list)[i], sizeof(T));
}

template <class T>
struct TListState {
    uint8_t Present = 0;
    int32_t Count = 0, Cursor = -1, CurrentIndex = -1;
    const uint8_t* Records = nullptr;
};

template <class T>
TListState<T> GetList(TReader& r) {
    TListState<T> s;
    s.Present = r.Get<uint8_t>();
    if (!r.Ok || s.Present > 1) {
        r.Ok = false;
        return s;
    }
    if (!s.Present) return s;
    s.Count = r.Get<int32_t>();
    s.Cursor = r.Get<int32_t>();
    s.CurrentIndex = r.Get<int32_t>();
    if (!r.Ok || s.Count < 0 || static_cast<uint32_t>(s.Count) > kMaxRecords || s.Cursor < -1 || s.Cursor > s.Count ||
        s.CurrentIndex < -1 || s.CurrentIndex >= s.Count) {
        r.Ok = false;
        return s;
    }
    s.Records = r.Raw(static_cast<size_t>(s.Count) * sizeof(T));
    return s;
}

template <class T>
void ApplyList(const TListState<T>& s, std::unique_ptr<TDynaArray<T>>& list) {
    if (!s.Present || !list) return;
    list->Clear();
    if (s.Count > 0 && list->AppendMany(s.Count))
        std::memcpy(&(*list)[0], s.Records, static_cast<size_t>(s.Count) * sizeof(T));
    if (s.CurrentIndex >= 0 && s.CurrentIndex < list->Count)
        list->Select(s.CurrentIndex);
    else
        list->Unselect();
    list->Cursor = s.Cursor;
}

}  // namespace

std::vector<uint8_t> SaveState(const TMainForm& game) {
    TWriter w;
    w.Put(kStateFormat);
    Fields([&](auto v) { w.Put(v); }, game);
    w.Raw(game.Grid.data(), game.Grid.size());
    w.Text(game.MusicModeSaved);
    w.Text(game.MusicModeNow);
    w.Text(game.CheatBuffer);
    PutList(w, game.Bubbles);
    PutList(w, game.Enemies);
    PutList(w, game.Items);
    return std::move(w.Bytes);
}

bool LoadState(TMainForm& game, const uint8_t* data, size_t size) {
    TReader r(data, size);
    if (r.Get<uint32_t>() != kStateFormat || !r.Ok) return false;
    // Read into a copy of the plain fields first, so damaged bytes leave the game untouched.
    struct TPlain {
        uint8_t GameActive, FacingLeft, Walking, CellDragActive;
        int32_t InsertKind, BlinkCounter;
        uint32_t LastHitTick, MusicStartTick;
        int32_t TransitionCounter, Score, Lives, LevelNo, StartX, StartY, VelY, WalkFrame, PlayerX, PlayerY,
            CellDragValue;
        uint8_t InEndCheck, BurstByTouch, InPaint, MusicJustStarted, EndCheckPending, InDialog, KeyJump, KeyFire,
            KeyLeft, KeyRight, OnGround;
        int32_t HitTimer;
        uint32_t LastFireTick;
        int32_t StartLevelNo;
        uint8_t MusicEnabled, SoundEnabled, EditorMode, Timer2Enabled, Timer3Enabled;
        int32_t PlayFieldX, PlayFieldY;
        struct {
            uint64_t State;
        } Rng;
    } p{};
    Fields([&](auto& v) { v = r.Get<std::remove_reference_t<decltype(v)>>(); }, p);
    const uint8_t* grid = r.Raw(game.Grid.size());
    std::string saved = r.Text(), now = r.Text(), cheat = r.Text();
    const auto bubbles = GetList<TBubble>(r);
    const auto enemies = GetList<TEnemy>(r);
    const auto items = GetList<TItem>(r);
    if (!r.Ok || !r.AtEnd() || !grid) return false;

    const bool timer2 = game.Timer2Enabled, timer3 = game.Timer3Enabled;
    auto copy = [&](auto& dst, const auto& src) { dst = src; };
    copy(game.GameActive, p.GameActive);
    copy(game.FacingLeft, p.FacingLeft);
    copy(game.Walking, p.Walking);
    copy(game.CellDragActive, p.CellDragActive);
    copy(game.InsertKind, p.InsertKind);
    copy(game.BlinkCounter, p.BlinkCounter);
    copy(game.LastHitTick, p.LastHitTick);
    copy(game.MusicStartTick, p.MusicStartTick);
    copy(game.TransitionCounter, p.TransitionCounter);
    copy(game.Score, p.Score);
    copy(game.Lives, p.Lives);
    copy(game.LevelNo, p.LevelNo);
    copy(game.StartX, p.StartX);
    copy(game.StartY, p.StartY);
    copy(game.VelY, p.VelY);
    copy(game.WalkFrame, p.WalkFrame);
    copy(game.PlayerX, p.PlayerX);
    copy(game.PlayerY, p.PlayerY);
    copy(game.CellDragValue, p.CellDragValue);
    copy(game.InEndCheck, p.InEndCheck);
    copy(game.BurstByTouch, p.BurstByTouch);
    copy(game.InPaint, p.InPaint);
    copy(game.MusicJustStarted, p.MusicJustStarted);
    copy(game.EndCheckPending, p.EndCheckPending);
    copy(game.InDialog, p.InDialog);
    copy(game.KeyJump, p.KeyJump);
    copy(game.KeyFire, p.KeyFire);
    copy(game.KeyLeft, p.KeyLeft);
    copy(game.KeyRight, p.KeyRight);
    copy(game.OnGround, p.OnGround);
    copy(game.HitTimer, p.HitTimer);
    copy(game.LastFireTick, p.LastFireTick);
    copy(game.StartLevelNo, p.StartLevelNo);
    copy(game.MusicEnabled, p.MusicEnabled);
    copy(game.SoundEnabled, p.SoundEnabled);
    copy(game.EditorMode, p.EditorMode);
    copy(game.PlayFieldX, p.PlayFieldX);
    copy(game.PlayFieldY, p.PlayFieldY);
    game.Rng.State = p.Rng.State;
    std::memcpy(game.Grid.data(), grid, game.Grid.size());
    game.MusicModeSaved = std::move(saved);
    game.MusicModeNow = std::move(now);
    game.CheatBuffer = std::move(cheat);
    ApplyList(bubbles, game.Bubbles);
    ApplyList(enemies, game.Enemies);
    ApplyList(items, game.Items);
    // The platform's timers follow the restored switches.
    game.Timer2Enabled = timer2;
    game.Timer3Enabled = timer3;
    game.SetTimer2(p.Timer2Enabled != 0);
    game.SetTimer3(p.Timer3Enabled != 0);
    return true;
}

}  // namespace blubbi
