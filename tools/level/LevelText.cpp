// Writing and strictly parsing the text form of a level; every field of the file has a spelling.
#include "tools/level/LevelText.h"

#include <charconv>
#include <cstdio>
#include <limits>

#include "game/EnemyKinds.h"

namespace blubbi::leveltool {
namespace {

constexpr size_t kTailBytesPerLine = 32;

char MapChar(uint8_t v) { return v == 0 ? '.' : v == 1 ? '#' : '*'; }

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
        if (j > i) words.push_back(line.substr(i, j - i));
        i = j;
    }
    return words;
}

// Whole-word decimal integers only: no signs other than a leading '-', no spaces, no overflow.
template <typename T>
bool ParseInt(std::string_view s, T& out, int64_t lo, int64_t hi) {
    int64_t v = 0;
    if (s.empty() || s.front() == '+') return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < lo || v > hi) return false;
    out = static_cast<T>(v);
    return true;
}

bool ParseI32(std::string_view s, int32_t& out) {
    return ParseInt(s, out, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
}

bool ParsePair(std::string_view s, int64_t lo, int64_t hi, int32_t& a, int32_t& b) {
    const size_t comma = s.find(',');
    return comma != std::string_view::npos && ParseInt(s.substr(0, comma), a, lo, hi) &&
           ParseInt(s.substr(comma + 1), b, lo, hi);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct TParser {
    TLevelFile File;
    bool HaveGrid = false, HaveStart = false, HaveCount = false;
    std::array<bool, kLevelGridBytes> Special{};  // '*' cells
    std::array<bool, kLevelGridBytes> Given{};    // '*' cells that have their cell line
    std::string Error;

    bool Fail(size_t lineNo, const std::string& what) {
        Error = "line " + std::to_string(lineNo) + ": " + what;
        return false;
    }

    bool GridRow(size_t lineNo, int row, std::string_view text) {
        if (text.size() != size_t(kCols))
            return Fail(lineNo, "a map row needs exactly 25 characters, found " + std::to_string(text.size()));
        for (int col = 0; col < kCols; ++col) {
            const size_t i = CellIndex(col, row);
            switch (text[size_t(col)]) {
                case '.': File.Level.Grid[i] = 0; break;
                case '#': File.Level.Grid[i] = 1; break;
                case '*':
                    File.Level.Grid[i] = 0;
                    Special[i] = true;
                    break;
                default: return Fail(lineNo, std::string("unknown map character '") + text[size_t(col)] + "'");
            }
        }
        return true;
    }

    bool Cell(size_t lineNo, const std::vector<std::string_view>& w) {
        int32_t col = 0, row = 0, value = 0;
        if (!HaveGrid) return Fail(lineNo, "a cell line must follow the map");
        if (w.size() != 4 || !ParseInt(w[1], col, 0, kCols - 1) || !ParseInt(w[2], row, 0, kRows - 1) ||
            !ParseInt(w[3], value, 2, 255))
            return Fail(lineNo, "expected: cell COLUMN(0-24) ROW(0-19) VALUE(2-255)");
        const size_t i = CellIndex(col, row);
        if (!Special[i]) return Fail(lineNo, "the map shows no '*' at this cell");
        if (Given[i]) return Fail(lineNo, "this cell was given already");
        Given[i] = true;
        File.Level.Grid[i] = uint8_t(value);
        return true;
    }

    bool Enemy(size_t lineNo, const std::vector<std::string_view>& w) {
        if (w.size() < 2) return Fail(lineNo, "expected: enemy KIND FIELD=VALUE ...");
        TEnemy e{};
        if (const TEnemyKind* k = KindOfToken(w[1])) {
            e.Kind = KindNumber(*k);
        } else if (!ParseI32(w[1], e.Kind)) {
            return Fail(lineNo, "unknown enemy kind '" + std::string(w[1]) +
                                    "' (Feder, Geist, BlauesMaennel, RotesMonster or a number)");
        }
        if (const TEnemyKind* k = KindOf(e.Kind)) {
            e.Width = k->Width;
            e.Height = k->Height;
        }
        std::vector<std::string_view> seen;
        std::optional<std::pair<int32_t, int32_t>> on;
        for (size_t i = 2; i < w.size(); ++i) {
            const size_t eq = w[i].find('=');
            if (eq == std::string_view::npos)
                return Fail(lineNo, "expected FIELD=VALUE, found '" + std::string(w[i]) + "'");
            const std::string_view name = w[i].substr(0, eq), value = w[i].substr(eq + 1);
            for (std::string_view s : seen)
                if (s == name) return Fail(lineNo, "field " + std::string(name) + " given twice");
            seen.push_back(name);
            int32_t* field = name == "Timer"         ? &e.Timer
                             : name == "AnimCounter" ? &e.AnimCounter
                             : name == "Aux"         ? &e.Aux
                             : name == "DirX"        ? &e.DirX
                             : name == "Width"       ? &e.Width
                             : name == "Height"      ? &e.Height
                             : name == "SpeedY"      ? &e.SpeedY
                             : name == "X"           ? &e.X
                             : name == "Y"           ? &e.Y
                                                     : nullptr;
            bool ok = true;
            if (field) {
                ok = ParseI32(value, *field);
            } else if (name == "Removed") {
                ok = ParseInt(value, e.Removed, 0, 255);
            } else if (name == "Trapped") {
                ok = ParseInt(value, e.Trapped, 0, 255);
            } else if (name == "Padding") {
                int32_t a = 0, b = 0;
                ok = ParsePair(value, 0, 255, a, b);
                e.Padding[0] = uint8_t(a);
                e.Padding[1] = uint8_t(b);
            } else if (name == "on") {
                int32_t col = 0, row = 0;
                ok = ParsePair(value, 0, kCols - 1, col, row) && row >= 1 && row < kRows;
                on = {col, row};
            } else {
                return Fail(lineNo, "unknown enemy field '" + std::string(name) + "'");
            }
            if (!ok) return Fail(lineNo, "bad value for " + std::string(name) + ": '" + std::string(value) + "'");
        }
        if (on) {
            for (std::string_view s : seen)
                if (s == "X" || s == "Y") return Fail(lineNo, "give either on= or X= and Y=, not both");
            // Standing on the top of cell (col, row): the first pixel row under the box is that top.
            e.X = on->first * kCell;
            const int64_t y = int64_t(on->second) * kCell - int64_t(e.Height) - 1;
            if (y < std::numeric_limits<int32_t>::min() || y > std::numeric_limits<int32_t>::max())
                return Fail(lineNo, "on= with this Height gives no valid Y");
            e.Y = int32_t(y);
        }
        File.Level.Enemies.push_back(e);
        return true;
    }

    bool Start(size_t lineNo, const std::vector<std::string_view>& w) {
        if (HaveStart) return Fail(lineNo, "the start position was given already");
        HaveStart = true;
        int32_t col = 0, row = 0;
        if (w.size() == 2 && w[1].starts_with("on=")) {
            if (!ParsePair(w[1].substr(3), 0, kCols - 1, col, row) || row < 1)
                return Fail(lineNo, "expected: start on=COLUMN,ROW with a row from 1 to 19");
            File.Level.StartX = col * kCell;
            File.Level.StartY = row * kCell - (kPlayerH + 1);
            return true;
        }
        if (w.size() != 3 || !w[1].starts_with("X=") || !w[2].starts_with("Y=") ||
            !ParseI32(w[1].substr(2), File.Level.StartX) || !ParseI32(w[2].substr(2), File.Level.StartY))
            return Fail(lineNo, "expected: start X=NUMBER Y=NUMBER, or start on=COLUMN,ROW");
        return true;
    }

    bool Count(size_t lineNo, const std::vector<std::string_view>& w) {
        if (HaveCount) return Fail(lineNo, "the count was given already");
        HaveCount = true;
        if (w.size() != 2 || !ParseInt(w[1], File.EmptyCount, std::numeric_limits<int32_t>::min(), 0))
            return Fail(lineNo, "expected: count NUMBER, zero or negative");
        return true;
    }

    bool Tail(size_t lineNo, const std::vector<std::string_view>& w) {
        if (w.size() != 2 || w[1].size() % 2 != 0) return Fail(lineNo, "expected: tail HEXBYTES");
        for (size_t i = 0; i < w[1].size(); i += 2) {
            const int hi = HexDigit(w[1][i]), lo = HexDigit(w[1][i + 1]);
            if (hi < 0 || lo < 0) return Fail(lineNo, "bad hex digits in tail");
            File.Tail.push_back(uint8_t(hi * 16 + lo));
        }
        return true;
    }
};

std::string_view StripComment(std::string_view line) {
    if (const size_t semi = line.find(';'); semi != std::string_view::npos) line = line.substr(0, semi);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    return line;
}

}  // namespace

std::optional<TLevelFile> SplitLevelFile(const std::vector<uint8_t>& bytes) {
    std::optional<TLevelData> level = DecodeLevel(bytes.data(), bytes.size());
    if (!level) return std::nullopt;
    TLevelFile file;
    file.Level = std::move(*level);
    const int32_t count = *StoredEnemyCount(bytes.data(), bytes.size());
    if (count <= 0) file.EmptyCount = count;
    file.Tail.assign(bytes.begin() + std::ptrdiff_t(LevelBytesNeeded(count)), bytes.end());
    return file;
}

std::vector<uint8_t> JoinLevelFile(const TLevelFile& file) {
    std::vector<uint8_t> bytes = EncodeLevel(file.Level);
    if (file.Level.Enemies.empty()) {
        const uint32_t u = static_cast<uint32_t>(file.EmptyCount);
        for (size_t i = 0; i < 4; ++i) bytes[kLevelCountOffset + i] = uint8_t(u >> (8 * i));
    }
    bytes.insert(bytes.end(), file.Tail.begin(), file.Tail.end());
    return bytes;
}

std::string LevelToText(const TLevelFile& file) {
    const TLevelData& level = file.Level;
    std::string out;
    out += "; Blubbi Blubbo level\n";
    out += "; map: 25 columns x 20 rows of 19-pixel cells; '#' block, '.' free, '*' see its cell line\n";
    out += "grid\n";
    for (int row = 0; row < kRows; ++row) {
        for (int col = 0; col < kCols; ++col) out += MapChar(level.Grid[CellIndex(col, row)]);
        out += '\n';
    }
    for (int col = 0; col < kCols; ++col)
        for (int row = 0; row < kRows; ++row)
            if (const uint8_t v = level.Grid[CellIndex(col, row)]; v > 1)
                out += "cell " + std::to_string(col) + " " + std::to_string(row) + " " + std::to_string(v) + "\n";
    for (const TEnemy& e : level.Enemies) {
        const TEnemyKind* k = KindOf(e.Kind);
        out += "enemy ";
        out += k ? std::string(k->Token) : std::to_string(e.Kind);
        out += " X=" + std::to_string(e.X) + " Y=" + std::to_string(e.Y);
        auto field = [&out](const char* name, int64_t value, int64_t standard) {
            if (value != standard) out += std::string(" ") + name + "=" + std::to_string(value);
        };
        field("Timer", e.Timer, 0);
        field("AnimCounter", e.AnimCounter, 0);
        field("Aux", e.Aux, 0);
        field("DirX", e.DirX, 0);
        field("Width", e.Width, k ? k->Width : 0);
        field("Height", e.Height, k ? k->Height : 0);
        field("SpeedY", e.SpeedY, 0);
        field("Removed", e.Removed, 0);
        field("Trapped", e.Trapped, 0);
        if (e.Padding[0] != 0 || e.Padding[1] != 0)
            out += " Padding=" + std::to_string(e.Padding[0]) + "," + std::to_string(e.Padding[1]);
        out += "\n";
    }
    out += "start X=" + std::to_string(level.StartX) + " Y=" + std::to_string(level.StartY) + "\n";
    if (level.Enemies.empty() && file.EmptyCount != 0) out += "count " + std::to_string(file.EmptyCount) + "\n";
    static const char kHex[] = "0123456789abcdef";
    for (size_t i = 0; i < file.Tail.size(); i += kTailBytesPerLine) {
        out += "tail ";
        for (size_t j = i; j < file.Tail.size() && j < i + kTailBytesPerLine; ++j) {
            out += kHex[file.Tail[j] >> 4];
            out += kHex[file.Tail[j] & 15];
        }
        out += '\n';
    }
    return out;
}

TTextResult LevelFromText(std::string_view text) {
    TParser p;
    size_t lineNo = 0;
    int gridRowsLeft = 0;
    size_t gridLine = 0;
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        const std::string_view raw = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        ++lineNo;
        const std::string_view line = StripComment(raw);
        if (line.empty()) continue;
        if (gridRowsLeft > 0) {
            if (!p.GridRow(lineNo, kRows - gridRowsLeft, line)) return {std::nullopt, p.Error};
            --gridRowsLeft;
            continue;
        }
        const std::vector<std::string_view> w = SplitWords(line);
        bool ok = true;
        if (w[0] == "grid") {
            if (p.HaveGrid) return {std::nullopt, "line " + std::to_string(lineNo) + ": the map was given already"};
            if (w.size() != 1) return {std::nullopt, "line " + std::to_string(lineNo) + ": expected: grid"};
            p.HaveGrid = true;
            gridRowsLeft = kRows;
            gridLine = lineNo;
        } else if (w[0] == "cell") {
            ok = p.Cell(lineNo, w);
        } else if (w[0] == "enemy") {
            ok = p.Enemy(lineNo, w);
        } else if (w[0] == "start") {
            ok = p.Start(lineNo, w);
        } else if (w[0] == "count") {
            ok = p.Count(lineNo, w);
        } else if (w[0] == "tail") {
            ok = p.Tail(lineNo, w);
        } else {
            ok = p.Fail(lineNo, "unknown line '" + std::string(w[0]) +
                                    "' (grid, cell, enemy, start, count, tail or a ';' comment)");
        }
        if (!ok) return {std::nullopt, p.Error};
    }
    if (gridRowsLeft > 0)
        return {std::nullopt, "line " + std::to_string(gridLine) + ": the map needs 20 rows, found " +
                                  std::to_string(kRows - gridRowsLeft)};
    if (!p.HaveGrid) return {std::nullopt, "no map: a 'grid' line and 20 rows of 25 characters are needed"};
    if (!p.HaveStart) return {std::nullopt, "no start position: a 'start' line is needed"};
    for (int col = 0; col < kCols; ++col)
        for (int row = 0; row < kRows; ++row)
            if (const size_t i = CellIndex(col, row); p.Special[i] && !p.Given[i])
                return {std::nullopt, "the '*' at column " + std::to_string(col) + ", row " + std::to_string(row) +
                                          " has no cell line"};
    if (p.HaveCount && !p.File.Level.Enemies.empty())
        return {std::nullopt, "a count line is only for levels without enemies"};
    return {std::move(p.File), {}};
}

}  // namespace blubbi::leveltool
