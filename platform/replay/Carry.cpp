// The carry line of a new game's replay, derived from the game's record.
#include "platform/replay/Carry.h"

#include <charconv>
#include <map>
#include <type_traits>

#include "base/Sha256.h"
#include "game/Snapshot.h"
#include "platform/replay/ReplayFormat.h"

namespace blubbi {

namespace {

constexpr size_t kMaxCarriedText = 255;  // as long as a sound device's answer may be

std::optional<std::string> FromHex(std::string_view hex) {
    if (hex.size() % 2 != 0 || hex.size() > 2 * kMaxCarriedText) return std::nullopt;
    std::string out;
    for (size_t i = 0; i < hex.size(); i += 2) {
        unsigned value = 0;
        const auto [p, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
        if (ec != std::errc() || p != hex.data() + i + 2) return std::nullopt;
        out += static_cast<char>(value);
    }
    return out;
}

template <class T>
bool ReadValue(std::string_view text, T& value) {
    if constexpr (std::is_same_v<T, std::string>) {
        auto bytes = FromHex(text);
        if (bytes) value = std::move(*bytes);
        return bytes.has_value();
    } else if constexpr (!std::is_integral_v<T>) {
        return false;  // the grid is never carried
    } else {
        T read{};
        const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), read);
        if (text.empty() || ec != std::errc() || p != text.data() + text.size()) return false;
        if constexpr (std::is_same_v<T, uint8_t>)
            if (read > 1) return false;  // every byte of the record is a flag
        value = read;
        return true;
    }
}

}  // namespace

std::string CarryText(const TMainForm& game) {
    std::string out;
    ForEachField(static_cast<const TGameRecord&>(game), [&](const char* name, const auto& v, TFieldRole role) {
        using T = std::decay_t<decltype(v)>;
        if (role != TFieldRole::Carried) return;
        if (!out.empty()) out += ' ';
        out += std::string(name) + '=';
        if constexpr (std::is_same_v<T, std::string>)
            out += HexDigits(reinterpret_cast<const unsigned char*>(v.data()), v.size());
        else if constexpr (std::is_integral_v<T>)
            out += std::to_string(v);
    });
    return out;
}

bool ApplyCarry(TMainForm& game, std::string_view text, std::string& error) {
    std::map<std::string_view, std::string_view> values;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find(' ', at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view word = text.substr(at, end - at);
        at = end + 1;
        if (word.empty()) continue;
        const size_t eq = word.find('=');
        if (eq == std::string_view::npos || !values.emplace(word.substr(0, eq), word.substr(eq + 1)).second) {
            error = "each carried value once, as NAME=VALUE";
            return false;
        }
    }
    TGameRecord record = game;
    size_t used = 0;
    ForEachField(record, [&](const char* name, auto& v, TFieldRole role) {
        if (role != TFieldRole::Carried || !error.empty()) return;
        const auto it = values.find(name);
        if (it == values.end() || !ReadValue(it->second, v))
            error = std::string("the carried value ") + name + " is missing or out of its range";
        ++used;
    });
    if (error.empty() && used != values.size()) error = "a carried value the game does not have";
    // What the game's own rules let these reach: the insert kinds and the slide's count.
    const bool ranges = record.InsertKind >= 0 && record.InsertKind <= 4 && record.TransitionCounter >= 0 &&
                        record.TransitionCounter <= 100;
    if (error.empty() && (!InBounds(record) || !ranges)) error = "a carried value no game holds";
    if (!error.empty()) return false;
    PutRecord(game, std::move(record));
    return true;
}

}  // namespace blubbi
