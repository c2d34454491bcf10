// Writing and reading replay lines; every number and count is checked before use.
#include "platform/replay/ReplayFormat.h"

// The browser has no OpenSSL: its build codes Base64 by hand, the same way.
#ifdef __EMSCRIPTEN__
#include "base/Base64Portable.h"
#else
#include <openssl/evp.h>
#endif

#include <set>

#include "base/Files.h"
#include "level/LevelCodec.h"

namespace blubbi {

namespace {

constexpr size_t kMaxTextChars = 4096;
constexpr size_t kMaxAnswers = 1024;
constexpr size_t kMaxStateBytes = 16u << 20;

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

using TMessage = std::optional<std::string>;
using TWords = std::vector<std::string_view>;

TMessage GameOverAnswer(const TWords& w, TAnswer& a) {
    a.Kind = TAnswerKind::GameOver;
    if (w.size() != 3 || (w[2] != "continue" && w[2] != "newgame")) return "answer gameover continue|newgame";
    a.Yes = w[2] == "continue";
    return std::nullopt;
}

TMessage OpenAnswer(const TWords& w, TAnswer& a) {
    a.Kind = TAnswerKind::Open;
    if (w.size() == 3 && w[2] == "cancel") return std::nullopt;
    a.Yes = true;
    if (w.size() == 3 && w[2] == "unreadable")
        a.Unreadable = true;
    else if (!LevelFile(w, a))
        return "answer open cancel | unreadable | level HASH | data BASE64 (at most a level's size)";
    return std::nullopt;
}

TMessage SaveAnswer(const TWords& w, TAnswer& a) {
    a.Kind = TAnswerKind::Save;
    const bool failed = w.size() == 4 && w[3] == "failed" && w[2] != "cancel";
    if ((w.size() != 3 && !failed) || (w[2] != "cancel" && !PlainName(w[2])))
        return "answer save cancel | NAME [failed]";
    a.Yes = w[2] != "cancel";
    a.Unreadable = failed;
    if (a.Yes) a.Text = std::string(w[2]);
    return std::nullopt;
}

TMessage ReadAnswer(const TWords& w, TAnswer& a) {
    a.Kind = TAnswerKind::Read;
    if (w.size() == 3 && w[2] == "none") return std::nullopt;
    a.Yes = true;
    if (!LevelFile(w, a)) return "answer read none | level HASH | data BASE64 (at most a level's size)";
    return std::nullopt;
}

TMessage UnsavedAnswer(const TWords& w, TAnswer& a) {
    a.Kind = TAnswerKind::Unsaved;
    if (w.size() != 3 || (w[2] != "save" && w[2] != "discard" && w[2] != "cancel"))
        return "answer unsaved save|discard|cancel";
    a.Text = std::string(w[2]);
    return std::nullopt;
}

TMessage RestoreAnswer(const TWords& w, TAnswer& a) {
    a.Kind = TAnswerKind::Restore;
    if (w.size() == 3 && w[2] == "no") return std::nullopt;
    auto bytes = w.size() == 4 && w[2] == "data" ? FromBase64(w[3], kLevelMaxFileBytes) : std::nullopt;
    if (!bytes) return "answer restore no | data BASE64 (at most a level's size)";
    a.Yes = true;
    a.Bytes = std::move(*bytes);
    return std::nullopt;
}

TMessage MediaAnswer(std::string_view line, const TWords& w, TAnswer& a) {
    a.Kind = TAnswerKind::Media;
    if (w.size() < 3 || !Number(w[2], a.Query) || a.Query < 0) return "answer media N [TEXT]";
    a.Text = std::string(RestAfterWords(line, 3));
    if (a.Text.size() > kMaxTextChars) return "answer media text too long";
    return std::nullopt;
}

TMessage AnswerLine(std::string_view line, const TWords& w, TAnswer& a) {
    const std::string_view kind = w.size() < 2 ? std::string_view() : w[1];
    if (kind == "gameover") return GameOverAnswer(w, a);
    if (kind == "open") return OpenAnswer(w, a);
    if (kind == "save") return SaveAnswer(w, a);
    if (kind == "read") return ReadAnswer(w, a);
    if (kind == "media") return MediaAnswer(line, w, a);
    if (kind == "unsaved") return UnsavedAnswer(w, a);
    if (kind == "restore") return RestoreAnswer(w, a);
    return "answer gameover, open, save, read, media, unsaved or restore";
}

// The header lines of one value each.
bool ValueLine(const TWords& w, TReplayHeader& h) {
    const std::string_view key = w[0];
    const bool one = w.size() == 2;
    if (key == "program" && one && w[1].size() <= 64) {
        h.Program = std::string(w[1]);
        return true;
    }
    if (key == "data" && one && IsHash(w[1], 64)) {
        h.DataHash = std::string(w[1]);
        return true;
    }
    if (key == "seed") return one && Number(w[1], h.Seed);
    if (key == "clock") return one && Number(w[1], h.Clock);
    if (key == "level") return one && Number(w[1], h.Level) && h.Level >= 1 && h.Level <= 999;
    if (key == "size") return w.size() == 3 && PaintBoxSide(w[1], h.Width) && PaintBoxSide(w[2], h.Height);
    return false;
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

std::string Base64(const uint8_t* data, size_t size) {
#ifdef __EMSCRIPTEN__
    return PortableBase64(data, size);
#else
    std::string out(4 * ((size + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, static_cast<int>(size));
    out.resize(static_cast<size_t>(n));
    return out;
#endif
}

std::optional<std::vector<uint8_t>> FromBase64(std::string_view text, size_t maxBytes) {
    if (text.empty() || text.size() % 4 != 0 || text.size() / 4 * 3 > maxBytes + 2) return std::nullopt;
    for (char c : text)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
              c == '='))
            return std::nullopt;
#ifdef __EMSCRIPTEN__
    auto decoded = PortableFromBase64(text);
    if (!decoded || decoded->size() > maxBytes) return std::nullopt;
    return decoded;
#else
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
#endif
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
    return FormatEventLine(s);
}

std::string FormatAnswer(const TAnswer& a) {
    switch (a.Kind) {
        case TAnswerKind::GameOver: return a.Yes ? "answer gameover continue" : "answer gameover newgame";
        case TAnswerKind::Open:
            if (!a.Yes) return "answer open cancel";
            if (a.Unreadable) return "answer open unreadable";
            if (a.OwnLevel) return "answer open level " + a.Text;
            return "answer open data " + Base64(a.Bytes.data(), a.Bytes.size());
        case TAnswerKind::Save:
            return a.Yes ? "answer save " + a.Text + (a.Unreadable ? " failed" : "") : "answer save cancel";
        case TAnswerKind::Media: return "answer media " + std::to_string(a.Query) + " " + a.Text;
        case TAnswerKind::Read:
            if (!a.Yes) return "answer read none";
            if (a.OwnLevel) return "answer read level " + a.Text;
            return "answer read data " + Base64(a.Bytes.data(), a.Bytes.size());
        case TAnswerKind::Unsaved: return "answer unsaved " + a.Text;
        case TAnswerKind::Restore:
            return a.Yes ? "answer restore data " + Base64(a.Bytes.data(), a.Bytes.size()) : "answer restore no";
    }
    return {};
}

TReplayReader::TReplayReader(std::string_view text, const TReplayLimits& limits) : Text(text), Limits(limits) {
    if (Text.size() > Limits.MaxBytes) Fail(1, "the file is larger than a replay may be");
    // Editors on some systems start UTF-8 text with a byte-order mark.
    if (Text.starts_with("\xEF\xBB\xBF")) Text.remove_prefix(3);
}

bool TReplayReader::Fail(int line, std::string message, std::string forPlayer) {
    Error = {line, std::move(message), std::move(forPlayer)};
    return false;
}

bool TReplayReader::ClockKept(const TReplayStep& s) {
    const auto backwards = [&](uint32_t step) {
        return Fail(LineNo, "the clock goes backwards (a step of " + std::to_string(step) + " ms)",
                    "Die Uhr läuft hier rückwärts.");
    };
    const auto tooFast = [&](uint64_t span) {
        const std::string window = std::to_string(kClockWindowTicks), least = std::to_string(kClockWindowMinMs);
        return Fail(LineNo,
                    "the clock runs faster than the frame timer can tick: " + window + " ticks in " +
                        std::to_string(span) + " ms, at least " + least,
                    "Die Uhr läuft schneller, als der Bildtakt des Spiels ticken kann: " + window + " Bilder in " +
                        std::to_string(span) + " ms statt mindestens " + least + " ms.");
    };
    uint64_t span = 0;
    if (s.Event.Kind != TEventKind::Tick) {
        if (!TTickClock::Forward(s.Step)) return backwards(s.Step);
        ClockNow += s.Step;
        return true;
    }
    if (s.Steps.empty()) {
        if (!TTickClock::Forward(s.Step)) return backwards(s.Step);
        if (Ticks.AddRun(ClockNow, s.Step, s.Repeat, span) != 0) return tooFast(span);
        ClockNow += uint64_t{s.Step} * static_cast<uint64_t>(s.Repeat);
        return true;
    }
    for (const uint8_t step : s.Steps) {
        ClockNow += step;
        if (!Ticks.Allows(ClockNow, span)) return tooFast(span);
        Ticks.Add(ClockNow);
    }
    return true;
}

std::optional<std::string_view> TReplayReader::NextLine(std::vector<std::string_view>& w) {
    while (!Failed() && At < Text.size()) {
        size_t end = Text.find('\n', At);
        if (end == std::string_view::npos) end = Text.size();
        std::string_view line = Text.substr(At, end - At);
        At = end + 1;
        if (++LineNo > Limits.MaxLines) {
            Fail(LineNo, "more lines than a replay may have");
            return std::nullopt;
        }
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        w = Words(line);
        if (!w.empty() && w[0][0] != '#') return line;
    }
    return std::nullopt;
}

bool TReplayReader::ReadHeader(TReplayHeader& h) {
    std::vector<std::string_view> w;
    auto line = NextLine(w);
    if (!line) return Failed() ? false : Fail(LineNo + 1, "the replay ends early: no end line");
    int format = 0;
    if (w.size() != 2 || w[0] != "blubbi-replay" || !Number(w[1], format)) return Fail(LineNo, "not a replay");
    if (format != kReplayFormat) return Fail(LineNo, "a replay format this program does not read");
    // Each header line once: a second one would silently overrule the first.
    std::set<std::string, std::less<>> seen;
    while ((line = NextLine(w))) {
        if (w[0] == "start" && w.size() == 1) return HeaderWhole(h, seen);
        if (seen.contains(w[0])) return Fail(LineNo, "a second " + std::string(w[0]) + " line in the header");
        if (!HeaderLine(*line, w, h)) return false;
        seen.emplace(w[0]);
    }
    return Failed() ? false : Fail(LineNo + 1, "the replay ends early: no end line");
}

bool TReplayReader::HeaderWhole(TReplayHeader& h, const std::set<std::string, std::less<>>& seen) {
    for (const char* needed : {"program", "seed", "clock", "level", "size", "data"})
        if (!seen.contains(needed)) return Fail(LineNo, "the header lacks program, seed, clock, level, size or data");
    if (auto message = StartWhole(h, seen.contains("from"))) return Fail(LineNo, *message);
    if (!seen.contains("from") && !h.StartState.empty()) h.Start = TStartKind::State;
    return true;
}

bool TReplayReader::HeaderLine(std::string_view line, const std::vector<std::string_view>& w, TReplayHeader& h) {
    const std::string_view key = w[0];
    if (ValueLine(w, h)) return true;
    if (key == "from") {
        if (!FromLine(w, h)) return Fail(LineNo, "from program | new-game | state | continued ORIGIN");
        return true;
    }
    if (key == "carry" && w.size() >= 2) {
        h.Carry = std::string(RestAfterWords(line, 1));
        h.CarryLine = LineNo;
        return true;
    }
    if (key == "state" && w.size() == 2) {
        auto bytes = FromBase64(w[1], kMaxStateBytes);
        if (!bytes) return Fail(LineNo, "state wants base64");
        h.StartState = std::move(*bytes);
        h.StateLine = LineNo;
        return true;
    }
    return Fail(LineNo, "unknown or bad header line");
}

bool TReplayReader::Next(TReplayStep& step) {
    step = TReplayStep{};
    std::vector<std::string_view> w;
    const auto line = NextLine(w);
    if (!line) return Failed() || Ended ? false : Fail(LineNo + 1, "the replay ends early: no end line");
    if (Ended) return Fail(LineNo, "nothing may follow the end line");
    step.Line = LineNo;
    if (w[0] == "answer") return Fail(LineNo, "an answer belongs after an event");
    if (w[0] == "check" || w[0] == "end") return Checkpoint(w, step);
    return EventWithAnswers(*line, step);
}

bool TReplayReader::Checkpoint(const std::vector<std::string_view>& w, TReplayStep& s) {
    s.Kind = w[0] == "check" ? TReplayStep::TKind::Check : TReplayStep::TKind::End;
    if (w.size() != 3 || !Number(w[1], s.Frame) || !IsHash(w[2], 16)) return Fail(LineNo, "check|end FRAME HASH");
    if (s.Frame != FrameCount) return Fail(LineNo, "the frame count here is " + std::to_string(FrameCount));
    s.Hash = std::string(w[2]);
    Ended = s.Kind == TReplayStep::TKind::End;
    return true;
}

bool TReplayReader::EventWithAnswers(std::string_view line, TReplayStep& s) {
    std::string error;
    std::optional<TEventLine> read = ParseEventLine(line, error);
    if (!read) return Fail(LineNo, error);
    static_cast<TEventLine&>(s) = std::move(*read);
    if (s.Event.Kind == TEventKind::Tick) {
        if (s.Repeat > Limits.MaxFrames - FrameCount) return Fail(LineNo, "more frames than a replay may have");
        FrameCount += s.Repeat;
    }
    if (!ClockKept(s)) return false;
    // The answer lines that follow belong to it; the first other line is the next step's.
    std::vector<std::string_view> w;
    for (;;) {
        const size_t at = At;
        const int lineNo = LineNo;
        const auto next = NextLine(w);
        if (!next || w[0] != "answer") {
            At = at;
            LineNo = lineNo;
            return !Failed();
        }
        TAnswer a;
        // Judged by its Base64's length first: a level too big is refused without decoding it.
        const uint64_t most = kLevelEmptyBytes + kLevelRecordBytes * static_cast<uint64_t>(Limits.MaxLevelEnemies);
        const bool crowded =
            Limits.MaxLevelEnemies > 0 && w.size() == 4 && w[2] == "data" && w[3].size() / 4 * 3 > most + 3;
        if (auto message = crowded ? std::nullopt : AnswerLine(*next, w, a)) return Fail(LineNo, *message);
        if (crowded || (Limits.MaxLevelEnemies > 0 && a.Bytes.size() > most))
            return Fail(LineNo, "a level larger than one of " + std::to_string(Limits.MaxLevelEnemies) + " enemies",
                        "Ein Level mit mehr als " + std::to_string(Limits.MaxLevelEnemies) +
                            " Figuren prüft der Server nicht.");
        if (s.Answers.size() >= kMaxAnswers) return Fail(LineNo, "too many answers for one event");
        s.Answers.push_back(std::move(a));
    }
}

std::optional<TReplay> ParseReplay(std::string_view text, const TReplayLimits& limits, TReplayError& error) {
    TReplayReader reader(text, limits);
    TReplay r;
    bool read = reader.ReadHeader(r.Header);
    for (TReplayStep step; read && reader.Next(step);) r.Steps.push_back(std::move(step));
    error = reader.Error;
    if (reader.Failed()) return std::nullopt;
    return r;
}

std::optional<TReplayHeader> CheckReplay(std::string_view text, const TReplayLimits& limits, TReplayError& error,
                                         int64_t& frames) {
    TReplayReader reader(text, limits);
    TReplayHeader header;
    bool read = reader.ReadHeader(header);
    for (TReplayStep step; read && reader.Next(step);) {}
    error = reader.Error;
    frames = reader.Frames();
    if (reader.Failed()) return std::nullopt;
    return header;
}

std::optional<std::string> ReadReplayFile(const std::string& path, const TReplayLimits& limits, std::string& error) {
    auto bytes = ReadRegularFile(path, limits.MaxBytes, error);
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

}  // namespace blubbi
