// Saving and restoring the whole game state, field by field in one fixed order.
#include "game/Snapshot.h"

#include <cstring>
#include <string>
#include <type_traits>

namespace blubbi {

namespace {

constexpr uint32_t kStateFormat = 2;
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

// One field of the record: numbers little-endian, the grid as its bytes, texts with their length.
template <class T>
void PutField(TWriter& w, const T& v) {
    if constexpr (std::is_integral_v<T>)
        w.Put(v);
    else if constexpr (std::is_same_v<T, std::string>)
        w.Text(v);
    else
        w.Raw(v.data(), v.size());
}

template <class T>
void GetField(TReader& r, T& v) {
    if constexpr (std::is_integral_v<T>) {
        v = r.Get<T>();
    } else if constexpr (std::is_same_v<T, std::string>) {
        v = r.Text();
    } else if (const uint8_t* p = r.Raw(v.size())) {
        std::memcpy(v.data(), p, v.size());
    }
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

// A record's signed numbers within the bound of any real game.
bool Plausible(const TBubble& b) {
    return InBounds(b.BurstStep) && InBounds(b.EnemyIndex) && InBounds(b.SpeedX) && InBounds(b.X) && InBounds(b.Y);
}
bool Plausible(const TEnemy& e) {
    for (int32_t v : {e.Timer, e.AnimCounter, e.Aux, e.DirX, e.Width, e.Height, e.SpeedY, e.Kind, e.X, e.Y})
        if (!InBounds(v)) return false;
    return true;
}
bool Plausible(const TItem& i) { return InBounds(i.X) && InBounds(i.Y) && InBounds(i.Frame) && InBounds(i.SpeedY); }

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
    for (int32_t i = 0; s.Records && i < s.Count; ++i) {
        T record;
        std::memcpy(&record, s.Records + static_cast<size_t>(i) * sizeof(T), sizeof(T));
        if (!Plausible(record)) r.Ok = false;
    }
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

void PutRecord(TMainForm& game, TGameRecord record) {
    const bool timer2 = record.Timer2Enabled, timer3 = record.Timer3Enabled, paused = record.Paused;
    const uint32_t started2 = record.Timer2Started, started3 = record.Timer3Started;
    record.Timer2Enabled = game.Timer2Enabled;
    record.Timer3Enabled = game.Timer3Enabled;
    record.Paused = game.Paused;
    static_cast<TGameRecord&>(game) = std::move(record);
    game.SetTimer2(timer2);
    game.SetTimer3(timer3);
    game.Timer2Started = started2;
    game.Timer3Started = started3;
    game.SetPaused(paused);
}

std::vector<uint8_t> SaveState(const TMainForm& game) {
    TWriter w;
    w.Put(kStateFormat);
    ForEachField(static_cast<const TGameRecord&>(game),
                 [&](const char*, const auto& v, TFieldRole) { PutField(w, v); });
    PutList(w, game.Bubbles);
    PutList(w, game.Enemies);
    PutList(w, game.Items);
    return std::move(w.Bytes);
}

bool LoadState(TMainForm& game, const uint8_t* data, size_t size) {
    TReader r(data, size);
    if (r.Get<uint32_t>() != kStateFormat || !r.Ok) return false;
    // Read into a copy of the record first, so damaged bytes leave the game untouched.
    TGameRecord record = game;
    ForEachField(record, [&](const char*, auto& v, TFieldRole) { GetField(r, v); });
    const auto bubbles = GetList<TBubble>(r);
    const auto enemies = GetList<TEnemy>(r);
    const auto items = GetList<TItem>(r);
    if (!r.Ok || !r.AtEnd() || !InBounds(record)) return false;

    ApplyList(bubbles, game.Bubbles);
    ApplyList(enemies, game.Enemies);
    ApplyList(items, game.Items);
    PutRecord(game, std::move(record));
    return true;
}

}  // namespace blubbi
