// Writing and reading replay lines; every number and count is checked before use.
#include "platform/replay/ReplayFormat.h"

#include <openssl/evp.h>

#include <charconv>
#include <set>

#include "level/Files.h"
#include "level/LevelCodec.h"

namespace blubbi {

namespace {

constexpr uint32_t kDefaultTickStep = 25;
constexpr size_t kMaxTextChars = 4096;
// A ticks line writes each step as one of these; its index is the step in ms.
constexpr std::string_view kStepChars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr size_t kMaxStepChars = 4096;

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> w;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const size_t from = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > from) w.push_back(line.substr(from, i - from));
    }
    return w;
}

template <class T>
bool Number(std::string_view word, T& value) {
    const char* end = word.data() + word.size();
    auto [p, ec] = std::from_chars(word.data(), end, value);
    return !word.empty() && ec == std::errc() && p == end;
}

bool Key(std::string_view word, int32_t& code) {
    if (word == "left")
        code = VK_LEFT;
    else if (word == "right")
        code = VK_RIGHT;
    else if (word == "up")
        code = VK_UP;
    else if (word == "space")
        code = VK_SPACE;
    else
        return Number(word, code) && code >= 0 && code <= 255;
    return true;
}

std::string KeyName(int32_t code) {
    switch (code) {
        case VK_LEFT: return "left";
        case VK_RIGHT: return "right";
        case VK_UP: return "up";
        case VK_SPACE: return "space";
        default: return std::to_string(code);
    }
}

bool Button(std::string_view word, TMouseButton& b) {
    if (word == "left")
        b = TMouseButton::mbLeft;
    else if (word == "right")
        b = TMouseButton::mbRight;
    else if (word == "middle")
        b = TMouseButton::mbMiddle;
    else
        return false;
    return true;
}

const char* ButtonName(TMouseButton b) {
    return b == TMouseButton::mbLeft ? "left" : b == TMouseButton::mbRight ? "right" : "middle";
}

bool IsHash(std::string_view w, size_t length) {
    if (w.size() != length) return false;
    for (char c : w)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// A saved file's name: no folder, nothing hidden, printable ASCII.
bool PlainName(std::string_view w) {
    if (w.empty() || w.size() > 255 || w[0] == '.') return false;
    for (char c : w)
        if (c <= ' ' || c > '~' || c == '/' || c == '\\') return false;
    return true;
}

// The rest of the line after `skip` words, as it stands.
std::string_view RestAfterWords(std::string_view line, size_t skip) {
    size_t i = 0;
    for (size_t n = 0; n < skip; ++n) {
        while (i < line.size() && line[i] == ' ') ++i;
        while (i < line.size() && line[i] != ' ') ++i;
    }
    if (i < line.size() && line[i] == ' ') ++i;
    return line.substr(i);
}

// Parses an event line; the message says what is wrong.
std::optional<std::string> EventLine(std::string_view line, TReplayStep& s) {
    auto w = Words(line);
    if (w.empty()) return "empty line";
    // A trailing +D moves the clock before the event.
    bool stepGiven = false;
    if (w.size() > 1 && w.back()[0] == '+') {
        if (!Number(w.back().substr(1), s.Step)) return "a clock step is +0 to +4294967295";
        stepGiven = true;
        w.pop_back();
    }
    const std::string_view op = w[0];
    const size_t args = w.size() - 1;
    TEvent& e = s.Event;
    s.Kind = TReplayStep::TKind::Event;
    if (op == "tick") {
        e.Kind = TEventKind::Tick;
        if (!stepGiven) s.Step = kDefaultTickStep;
        if (args > 1 || (args == 1 && (!Number(w[1], s.Repeat) || s.Repeat < 1))) return "tick [COUNT] [+MS]";
    } else if (op == "ticks") {
        e.Kind = TEventKind::Tick;
        if (stepGiven || args != 1 || w[1].size() > kMaxStepChars) return "ticks STEPS, one character a tick";
        for (char c : w[1]) {
            const size_t step = kStepChars.find(c);
            if (step == std::string_view::npos) return "ticks STEPS, one character a tick";
            s.Steps.push_back(static_cast<uint8_t>(step));
        }
        s.Repeat = static_cast<int64_t>(s.Steps.size());
    } else if (op == "timer2" || op == "timer3") {
        e.Kind = op == "timer2" ? TEventKind::Timer2 : TEventKind::Timer3;
        if (args != 0) return "a timer takes no arguments";
    } else if (op == "down" || op == "up") {
        e.Kind = op == "down" ? TEventKind::KeyDown : TEventKind::KeyUp;
        if (args != 1 || !Key(w[1], e.A)) return "a key is left, right, up, space or a code 0 to 255";
    } else if (op == "char") {
        e.Kind = TEventKind::Char;
        if (args != 1 || !Number(w[1], e.A) || e.A < 0 || e.A > 255) return "char takes a code 0 to 255";
    } else if (op == "mouse") {
        if (args == 3 && w[1] == "move") {
            e.Kind = TEventKind::MouseMove;
            if (!Number(w[2], e.A) || !Number(w[3], e.B)) return "mouse move X Y";
        } else if (args == 4 && (w[1] == "down" || w[1] == "up")) {
            e.Kind = w[1] == "down" ? TEventKind::MouseDown : TEventKind::MouseUp;
            if (!Button(w[2], e.Button) || !Number(w[3], e.A) || !Number(w[4], e.B))
                return "mouse down|up left|right|middle X Y";
        } else {
            return "mouse down, move or up";
        }
    } else if (op == "menu") {
        e.Kind = TEventKind::Menu;
        if (args != 1 || !IsMenuCommand(w[1])) return "unknown menu command";
        e.Text = std::string(w[1]);
    } else if (op == "resize") {
        e.Kind = TEventKind::Resize;
        if (args != 2 || !Number(w[1], e.A) || !Number(w[2], e.B) || e.A < 1 || e.B < 1 || e.A > 8192 || e.B > 8192)
            return "resize W H with sizes from 1 to 8192";
    } else if (op == "repaint") {
        e.Kind = TEventKind::Repaint;
        if (args != 0) return "repaint takes no arguments";
    } else if (op == "pause") {
        e.Kind = TEventKind::Pause;
        if (args != 1 || (w[1] != "on" && w[1] != "off")) return "pause on or off";
        e.A = w[1] == "on";
    } else {
        return "unknown event";
    }
    return std::nullopt;
}

// `level HASH` (one of the game's own) or `data BASE64` (the file whole) after `answer open|read`.
bool LevelFile(const std::vector<std::string_view>& w, TAnswer& a) {
    if (w.size() != 4) return false;
    if (w[2] == "level" && IsHash(w[3], 64)) {
        a.OwnLevel = true;
        a.Text = std::string(w[3]);
        return true;
    }
    auto bytes = w[2] == "data" ? FromBase64(w[3], kLevelMaxFileBytes) : std::nullopt;
    if (bytes) a.Bytes = std::move(*bytes);
    return bytes.has_value();
}

std::optional<std::string> AnswerLine(std::string_view line, TAnswer& a) {
    const auto w = Words(line);
    if (w.size() < 2) return "answer gameover, open, save or media";
    if (w[1] == "gameover") {
        a.Kind = TAnswerKind::GameOver;
        if (w.size() != 3 || (w[2] != "continue" && w[2] != "newgame")) return "answer gameover continue|newgame";
        a.Yes = w[2] == "continue";
    } else if (w[1] == "open") {
        a.Kind = TAnswerKind::Open;
        if (w.size() == 3 && w[2] == "cancel") return std::nullopt;
        a.Yes = true;
        if (w.size() == 3 && w[2] == "unreadable")
            a.Unreadable = true;
        else if (!LevelFile(w, a))
            return "answer open cancel | unreadable | level HASH | data BASE64 (at most a level's size)";
    } else if (w[1] == "save") {
        a.Kind = TAnswerKind::Save;
        if (w.size() != 3 || (w[2] != "cancel" && !PlainName(w[2]))) return "answer save cancel | NAME";
        a.Yes = w[2] != "cancel";
        if (a.Yes) a.Text = std::string(w[2]);
    } else if (w[1] == "read") {
        a.Kind = TAnswerKind::Read;
        if (w.size() == 3 && w[2] == "none") return std::nullopt;
        a.Yes = true;
        if (!LevelFile(w, a)) return "answer read none | level HASH | data BASE64 (at most a level's size)";
    } else if (w[1] == "media") {
        a.Kind = TAnswerKind::Media;
        if (w.size() < 3 || !Number(w[2], a.Query) || a.Query < 0) return "answer media N [TEXT]";
        a.Text = std::string(RestAfterWords(line, 3));
        if (a.Text.size() > kMaxTextChars) return "answer media text too long";
    } else {
        return "answer gameover, open, save or media";
    }
    return std::nullopt;
}

bool StartKind(std::string_view word, TStartKind& kind) {
    for (TStartKind k : {TStartKind::Program, TStartKind::NewGame, TStartKind::Continued, TStartKind::State})
        if (word == StartKindName(k)) {
            kind = k;
            return true;
        }
    return false;
}

// `from KIND` or `from continued ORIGIN`.
bool FromLine(const std::vector<std::string_view>& w, TReplayHeader& h) {
    if (w.size() < 2 || !StartKind(w[1], h.Start)) return false;
    if (h.Start == TStartKind::Continued) return w.size() == 3 && StartKind(w[2], h.Origin) && h.Origin != h.Start;
    return w.size() == 2;
}

// What the start needs is there, and nothing else: a saved state only for a state start, the
// carried values only for a new game.
std::optional<std::string> StartWhole(const TReplayHeader& h, bool haveFrom) {
    if (!haveFrom && !h.StartState.empty()) return std::nullopt;  // written before starts had kinds
    const TStartKind begun = h.Begun();
    if ((begun == TStartKind::State) != !h.StartState.empty()) return "a state start and only it has a state line";
    if ((begun == TStartKind::NewGame) != !h.Carry.empty()) return "a new-game start and only it has a carry line";
    return std::nullopt;
}

std::string StepSuffix(uint32_t step, uint32_t usual) { return step == usual ? "" : " +" + std::to_string(step); }

}  // namespace

const char* StartKindName(TStartKind kind) {
    switch (kind) {
        case TStartKind::Program: return "program";
        case TStartKind::NewGame: return "new-game";
        case TStartKind::Continued: return "continued";
        case TStartKind::State: return "state";
    }
    return "state";
}

char TickStepChar(uint32_t step) { return step < kStepChars.size() ? kStepChars[step] : '\0'; }

std::string HexDigits(const unsigned char* bytes, size_t size) {
    static const char* hex = "0123456789abcdef";
    std::string out;
    out.reserve(2 * size);
    for (size_t i = 0; i < size; ++i) {
        out += hex[bytes[i] >> 4];
        out += hex[bytes[i] & 15];
    }
    return out;
}

std::string Sha256Hex(const void* data, size_t size) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr);
    return HexDigits(digest, length);
}

std::string Base64(const uint8_t* data, size_t size) {
    std::string out(4 * ((size + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, static_cast<int>(size));
    out.resize(static_cast<size_t>(n));
    return out;
}

std::optional<std::vector<uint8_t>> FromBase64(std::string_view text, size_t maxBytes) {
    if (text.empty() || text.size() % 4 != 0 || text.size() / 4 * 3 > maxBytes + 2) return std::nullopt;
    for (char c : text)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
              c == '='))
            return std::nullopt;
    std::vector<uint8_t> out(text.size() / 4 * 3);
    const int n =
        EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (n < 0) return std::nullopt;
    // The decoder counts padding as zero bytes.
    size_t length = static_cast<size_t>(n);
    if (text.back() == '=') --length;
    if (text.size() >= 2 && text[text.size() - 2] == '=') --length;
    out.resize(length);
    if (out.size() > maxBytes) return std::nullopt;
    return out;
}

std::string FormatHeader(const TReplayHeader& h) {
    std::string s = "blubbi-replay " + std::to_string(kReplayFormat) + "\n";
    s += "program " + h.Program + "\n";
    s += "seed " + std::to_string(h.Seed) + "\n";
    s += "clock " + std::to_string(h.Clock) + "\n";
    s += "level " + std::to_string(h.Level) + "\n";
    s += "size " + std::to_string(h.Width) + " " + std::to_string(h.Height) + "\n";
    s += "data " + h.DataHash + "\n";
    if (h.Start != TStartKind::Program) {
        s += std::string("from ") + StartKindName(h.Start);
        if (h.Start == TStartKind::Continued) s += std::string(" ") + StartKindName(h.Origin);
        s += "\n";
    }
    if (!h.Carry.empty()) s += "carry " + h.Carry + "\n";
    if (!h.StartState.empty()) s += "state " + Base64(h.StartState.data(), h.StartState.size()) + "\n";
    s += "start\n";
    return s;
}

std::string FormatStep(const TReplayStep& s) {
    if (s.Kind == TReplayStep::TKind::Check) return "check " + std::to_string(s.Frame) + " " + s.Hash;
    if (s.Kind == TReplayStep::TKind::End) return "end " + std::to_string(s.Frame) + " " + s.Hash;
    const TEvent& e = s.Event;
    std::string line;
    switch (e.Kind) {
        case TEventKind::Tick:
            if (!s.Steps.empty()) {
                line = "ticks ";
                for (uint8_t step : s.Steps) line += kStepChars[step];
                return line;
            }
            line = "tick";
            if (s.Repeat != 1) line += " " + std::to_string(s.Repeat);
            return line + StepSuffix(s.Step, kDefaultTickStep);
        case TEventKind::Timer2: line = "timer2"; break;
        case TEventKind::Timer3: line = "timer3"; break;
        case TEventKind::KeyDown: line = "down " + KeyName(e.A); break;
        case TEventKind::KeyUp: line = "up " + KeyName(e.A); break;
        case TEventKind::Char: line = "char " + std::to_string(e.A); break;
        case TEventKind::MouseDown:
        case TEventKind::MouseUp:
            line = std::string("mouse ") + (e.Kind == TEventKind::MouseDown ? "down " : "up ") + ButtonName(e.Button) +
                   " " + std::to_string(e.A) + " " + std::to_string(e.B);
            break;
        case TEventKind::MouseMove: line = "mouse move " + std::to_string(e.A) + " " + std::to_string(e.B); break;
        case TEventKind::Menu: line = "menu " + e.Text; break;
        case TEventKind::Resize: line = "resize " + std::to_string(e.A) + " " + std::to_string(e.B); break;
        case TEventKind::Repaint: line = "repaint"; break;
        case TEventKind::Pause: line = e.A ? "pause on" : "pause off"; break;
    }
    return line + StepSuffix(s.Step, 0);
}

std::string FormatAnswer(const TAnswer& a) {
    switch (a.Kind) {
        case TAnswerKind::GameOver: return a.Yes ? "answer gameover continue" : "answer gameover newgame";
        case TAnswerKind::Open:
            if (!a.Yes) return "answer open cancel";
            if (a.Unreadable) return "answer open unreadable";
            if (a.OwnLevel) return "answer open level " + a.Text;
            return "answer open data " + Base64(a.Bytes.data(), a.Bytes.size());
        case TAnswerKind::Save: return a.Yes ? "answer save " + a.Text : "answer save cancel";
        case TAnswerKind::Media: return "answer media " + std::to_string(a.Query) + " " + a.Text;
        case TAnswerKind::Read:
            if (!a.Yes) return "answer read none";
            if (a.OwnLevel) return "answer read level " + a.Text;
            return "answer read data " + Base64(a.Bytes.data(), a.Bytes.size());
    }
    return {};
}

std::optional<TReplayStep> ParseEventLine(std::string_view line) {
    TReplayStep s;
    if (EventLine(line, s)) return std::nullopt;
    return s;
}

std::optional<TReplay> ParseReplay(std::string_view text, const TReplayLimits& limits, TReplayError& error) {
    auto fail = [&](int line, std::string message) {
        error = {line, std::move(message)};
        return std::nullopt;
    };
    if (text.size() > limits.MaxBytes) return fail(1, "the file is larger than a replay may be");
    // Editors on some systems start UTF-8 text with a byte-order mark.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    TReplay r;
    enum { kMagic, kHeader, kSteps, kDone } part = kMagic;
    // Each header line once: a second one would silently overrule the first.
    std::set<std::string, std::less<>> seen;
    int64_t frames = 0;
    int number = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (++number > limits.MaxLines) return fail(number, "more lines than a replay may have");
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto w = Words(line);
        if (w.empty() || w[0][0] == '#') continue;
        if (part == kDone) return fail(number, "nothing may follow the end line");
        if (part == kMagic) {
            int format = 0;
            if (w.size() != 2 || w[0] != "blubbi-replay" || !Number(w[1], format)) return fail(number, "not a replay");
            if (format != kReplayFormat) return fail(number, "a replay format this program does not read");
            part = kHeader;
            continue;
        }
        if (part == kHeader) {
            TReplayHeader& h = r.Header;
            if (w[0] == "start" && w.size() == 1) {
                for (const char* needed : {"program", "seed", "clock", "level", "size", "data"})
                    if (!seen.contains(needed))
                        return fail(number, "the header lacks program, seed, clock, level, size or data");
                if (auto message = StartWhole(h, seen.contains("from"))) return fail(number, *message);
                if (!seen.contains("from") && !h.StartState.empty()) h.Start = TStartKind::State;
                part = kSteps;
                continue;
            }
            const std::string_view key = w[0];
            if (seen.contains(key)) return fail(number, "a second " + std::string(key) + " line in the header");
            bool good = false;
            if (key == "program") {
                good = w.size() == 2 && w[1].size() <= 64;
                if (good) h.Program = std::string(w[1]);
            } else if (key == "seed") {
                good = w.size() == 2 && Number(w[1], h.Seed);
            } else if (key == "clock") {
                good = w.size() == 2 && Number(w[1], h.Clock);
            } else if (key == "level") {
                good = w.size() == 2 && Number(w[1], h.Level) && h.Level >= 1 && h.Level <= 999;
            } else if (key == "size") {
                good = w.size() == 3 && Number(w[1], h.Width) && Number(w[2], h.Height) && h.Width >= 1 &&
                       h.Height >= 1 && h.Width <= 8192 && h.Height <= 8192;
            } else if (key == "data") {
                good = w.size() == 2 && IsHash(w[1], 64);
                if (good) h.DataHash = std::string(w[1]);
            } else if (key == "from") {
                if (!FromLine(w, h)) return fail(number, "from program | new-game | state | continued ORIGIN");
                good = true;
            } else if (key == "carry" && w.size() >= 2) {
                h.Carry = std::string(RestAfterWords(line, 1));
                h.CarryLine = number;
                good = true;
            } else if (key == "state" && w.size() == 2) {
                auto bytes = FromBase64(w[1], 16u << 20);
                if (!bytes) return fail(number, "state wants base64");
                h.StartState = std::move(*bytes);
                h.StateLine = number;
                good = true;
            }
            if (!good) return fail(number, "unknown or bad header line");
            seen.emplace(key);
            continue;
        }
        if (w[0] == "answer") {
            if (r.Steps.empty() || r.Steps.back().Kind != TReplayStep::TKind::Event)
                return fail(number, "an answer belongs after an event");
            TAnswer a;
            if (auto message = AnswerLine(line, a)) return fail(number, *message);
            if (r.Steps.back().Answers.size() >= 1024) return fail(number, "too many answers for one event");
            r.Steps.back().Answers.push_back(std::move(a));
            continue;
        }
        if (w[0] == "check" || w[0] == "end") {
            TReplayStep s;
            s.Kind = w[0] == "check" ? TReplayStep::TKind::Check : TReplayStep::TKind::End;
            s.Line = number;
            if (w.size() != 3 || !Number(w[1], s.Frame) || !IsHash(w[2], 16))
                return fail(number, "check|end FRAME HASH");
            if (s.Frame != frames) return fail(number, "the frame count here is " + std::to_string(frames));
            s.Hash = std::string(w[2]);
            if (s.Kind == TReplayStep::TKind::End) part = kDone;
            r.Steps.push_back(std::move(s));
            continue;
        }
        TReplayStep s;
        s.Line = number;
        if (auto message = EventLine(line, s)) return fail(number, *message);
        if (s.Event.Kind == TEventKind::Tick) {
            if (s.Repeat > limits.MaxFrames - frames) return fail(number, "more frames than a replay may have");
            frames += s.Repeat;
        }
        r.Steps.push_back(std::move(s));
    }
    if (part != kDone) return fail(number + 1, "the replay ends early: no end line");
    return r;
}

std::optional<std::string> ReadReplayFile(const std::string& path, const TReplayLimits& limits, std::string& error) {
    auto bytes = ReadRegularFile(path, limits.MaxBytes, error);
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

}  // namespace blubbi
