// The submission form's fields and their rules.
#include "server/Form.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "base/Gzip.h"

namespace blubbi::hiscore {

namespace {

// Strict UTF-8 to code points: no overlong forms, no surrogates, nothing above U+10FFFF.
std::optional<std::vector<utf8proc_int32_t>> DecodeUtf8(std::string_view s) {
    std::vector<utf8proc_int32_t> out;
    const auto* at = reinterpret_cast<const utf8proc_uint8_t*>(s.data());
    for (auto left = static_cast<utf8proc_ssize_t>(s.size()); left > 0;) {
        utf8proc_int32_t cp = 0;
        const utf8proc_ssize_t n = utf8proc_iterate(at, left, &cp);
        if (n <= 0) return std::nullopt;
        out.push_back(cp);
        at += n;
        left -= n;
    }
    return out;
}

bool IsSpace(utf8proc_int32_t c) {
    const auto category = utf8proc_category(c);
    return category == UTF8PROC_CATEGORY_ZS || (c >= 0x09 && c <= 0x0D) || c == 0x85;
}

// Characters that would not show as themselves in the list: controls, format characters (the
// marks that turn the direction of the text after them, zero-width ones), line and paragraph
// separators, private and unassigned ones.
bool IsForbidden(utf8proc_int32_t c) {
    switch (utf8proc_category(c)) {
        case UTF8PROC_CATEGORY_CC:
        case UTF8PROC_CATEGORY_CF:
        case UTF8PROC_CATEGORY_CS:
        case UTF8PROC_CATEGORY_CO:
        case UTF8PROC_CATEGORY_CN:
        case UTF8PROC_CATEGORY_ZL:
        case UTF8PROC_CATEGORY_ZP: return true;
        default: return false;
    }
}

// Letters and symbols that show as nothing: the Hangul fillers and the blank Braille pattern.
bool IsFiller(utf8proc_int32_t c) {
    return c == 0x115F || c == 0x1160 || c == 0x3164 || c == 0xFFA0 || c == 0x2800 || c == 0x034F ||
           (c >= 0x17B4 && c <= 0x17B5) || (c >= 0x180B && c <= 0x180F);
}

bool IsMark(utf8proc_int32_t c) {
    const auto category = utf8proc_category(c);
    return category >= UTF8PROC_CATEGORY_MN && category <= UTF8PROC_CATEGORY_ME;
}

// Something to see: a letter, a digit, a punctuation mark or a symbol, not only marks and spaces.
bool IsVisible(utf8proc_int32_t c) {
    const auto category = utf8proc_category(c);
    return category >= UTF8PROC_CATEGORY_LU && category <= UTF8PROC_CATEGORY_SO &&
           (category < UTF8PROC_CATEGORY_MN || category > UTF8PROC_CATEGORY_ME);
}

// The one value of a form field; several fields of the same name are refused.
const std::string* Field(const THttpFields& fields, const char* key, std::string& reason) {
    const std::string* found = nullptr;
    for (const auto& [name, value] : fields) {
        if (name != key) continue;
        if (found) {
            reason = std::string("Das Feld „") + key + "“ kommt mehrfach vor.";
            return nullptr;
        }
        found = &value;
    }
    if (!found) reason = std::string("Es fehlt das Feld „") + key + "“.";
    return found;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The value of `key` among a header's parameters (`form-data; name="replay"; filename="x"`).
std::optional<std::string> HeaderParameter(std::string_view value, std::string_view key) {
    while (!value.empty()) {
        // A parameter runs to the next ';' outside quotes.
        size_t end = 0;
        for (bool quoted = false; end < value.size() && (quoted || value[end] != ';'); ++end)
            if (value[end] == '"') quoted = !quoted;
        const std::string_view part = Trim(value.substr(0, end));
        value = end < value.size() ? value.substr(end + 1) : std::string_view();
        const auto eq = part.find('=');
        if (eq == std::string_view::npos || !EqualNoCase(Trim(part.substr(0, eq)), key)) continue;
        std::string_view text = Trim(part.substr(eq + 1));
        if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
        return std::string(text);
    }
    return std::nullopt;
}

// The field name a part's header lines give it (Content-Disposition: form-data; name="...").
std::optional<std::string> PartName(std::string_view headers) {
    std::optional<std::string> name;
    while (!headers.empty()) {
        const auto lineEnd = headers.find("\r\n");
        const std::string_view line = headers.substr(0, lineEnd);
        headers = lineEnd == std::string_view::npos ? std::string_view() : headers.substr(lineEnd + 2);
        if (!StartsWithNoCase(line, "content-disposition:")) continue;
        const std::string_view value = Trim(line.substr(line.find(':') + 1));
        if (StartsWithNoCase(value, "form-data")) name = HeaderParameter(value, "name");
    }
    return name;
}

}  // namespace

std::optional<THttpFields> ReadMultipart(std::string_view contentType, std::string_view body) {
    constexpr size_t kMaxParts = 16;
    if (!StartsWithNoCase(Trim(contentType), "multipart/form-data")) return std::nullopt;
    const auto boundary = HeaderParameter(contentType, "boundary");
    if (!boundary || boundary->empty() || boundary->size() > 70) return std::nullopt;
    const std::string delimiter = "\r\n--" + *boundary;

    // The first delimiter opens the body, or ends a preamble.
    size_t at = 0;
    if (body.substr(0, delimiter.size() - 2) == std::string_view(delimiter).substr(2)) {
        at = delimiter.size() - 2;
    } else {
        const auto first = body.find(delimiter);
        if (first == std::string_view::npos) return std::nullopt;
        at = first + delimiter.size();
    }
    THttpFields fields;
    while (body.substr(at, 2) != "--") {
        while (at < body.size() && (body[at] == ' ' || body[at] == '\t')) ++at;
        if (body.substr(at, 2) != "\r\n") return std::nullopt;
        at += 2;
        const auto headersEnd = body.find("\r\n\r\n", at);
        if (headersEnd == std::string_view::npos) return std::nullopt;
        auto name = PartName(body.substr(at, headersEnd - at));
        at = headersEnd + 4;
        const auto end = body.find(delimiter, at);
        if (!name || end == std::string_view::npos || fields.size() == kMaxParts) return std::nullopt;
        fields.emplace_back(std::move(*name), std::string(body.substr(at, end - at)));
        at = end + delimiter.size();
    }
    return fields;
}

std::optional<std::string> CleanName(std::string_view raw, std::string& reason) {
    const auto cps = DecodeUtf8(raw);
    if (!cps) {
        reason = "Der Name ist kein gültiger UTF-8-Text.";
        return std::nullopt;
    }
    size_t begin = 0, end = cps->size();
    while (begin < end && IsSpace((*cps)[begin])) ++begin;
    while (end > begin && IsSpace((*cps)[end - 1])) --end;
    if (begin == end) {
        reason = "Bitte einen Namen angeben.";
        return std::nullopt;
    }
    if (end - begin > kMaxNameLength) {
        reason = "Der Name ist zu lang (höchstens " + std::to_string(kMaxNameLength) + " Zeichen).";
        return std::nullopt;
    }
    // A few marks stack on a letter in any script; dozens of them spill over the lines of the list.
    constexpr int kMaxMarks = 4;
    int marks = 0;
    for (size_t i = begin; i < end; ++i) {
        if (IsForbidden((*cps)[i]) || IsFiller((*cps)[i])) {
            reason = "Der Name enthält Steuer- oder unsichtbare Zeichen.";
            return std::nullopt;
        }
        marks = IsMark((*cps)[i]) ? marks + 1 : 0;
        if (marks > kMaxMarks) {
            reason = "Der Name trägt zu viele Zeichen übereinander (höchstens " + std::to_string(kMaxMarks) +
                     " Akzente auf einem Buchstaben).";
            return std::nullopt;
        }
    }
    if (std::none_of(cps->begin() + static_cast<std::ptrdiff_t>(begin), cps->begin() + static_cast<std::ptrdiff_t>(end),
                     IsVisible)) {
        reason = "Der Name enthält kein sichtbares Zeichen.";
        return std::nullopt;
    }
    // The same name is the same bytes however it was typed: composed (NFC).
    std::string trimmed;
    for (size_t i = begin; i < end; ++i) {
        utf8proc_uint8_t bytes[4];
        trimmed.append(reinterpret_cast<const char*>(bytes),
                       static_cast<size_t>(utf8proc_encode_char((*cps)[i], bytes)));
    }
    utf8proc_uint8_t* composed = utf8proc_NFC(reinterpret_cast<const utf8proc_uint8_t*>(trimmed.c_str()));
    if (!composed) {
        reason = "Der Name ist kein gültiger UTF-8-Text.";
        return std::nullopt;
    }
    std::string name(reinterpret_cast<const char*>(composed));
    std::free(composed);
    if (DecodeUtf8(name)->size() > kMaxNameLength) {  // a few characters come apart when composed
        reason = "Der Name ist zu lang (höchstens " + std::to_string(kMaxNameLength) + " Zeichen).";
        return std::nullopt;
    }
    return name;
}

std::optional<int32_t> ParsePoints(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 10) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

TFormResult ReadSubmission(const THttpRequest& request) {
    TFormResult result;
    const std::string type = request.Header("Content-Type");
    if (!StartsWithNoCase(Trim(type), "multipart/form-data")) {
        result.Status = 415;
        result.Reason = "Erwartet wird ein Formular (multipart/form-data) mit name, punkte und replay.";
        return result;
    }
    const auto fields = ReadMultipart(type, request.Body);
    if (!fields) {
        result.Reason = "Das Formular ist fehlerhaft.";
        return result;
    }
    const auto* name = Field(*fields, "name", result.Reason);
    if (!name) return result;
    const auto* points = Field(*fields, "punkte", result.Reason);
    if (!points) return result;
    const auto* replay = Field(*fields, "replay", result.Reason);
    if (!replay) return result;

    TSubmission s;
    auto cleaned = CleanName(*name, result.Reason);
    if (!cleaned) return result;
    s.Name = std::move(*cleaned);
    const auto parsed = ParsePoints(*points);
    if (!parsed) {
        result.Reason = "Die Punkte sind keine gültige Zahl.";
        return result;
    }
    s.Points = *parsed;
    if (replay->empty()) {
        result.Reason = "Die Wiederholung ist leer.";
        return result;
    }
    if (IsGzip(*replay)) {
        // Packed, its unpacked size is bounded too: a few packed bytes could stand for gigabytes.
        auto unpacked = Gunzip(*replay, kMaxReplayBytes);
        if (!unpacked) {
            result.Status = 413;
            result.Reason = "Die Wiederholung ist beschädigt gepackt oder entpackt größer als " +
                            std::to_string(kMaxReplayBytes >> 20) + " MB.";
            return result;
        }
        s.Replay = std::move(*unpacked);
    } else {
        s.Replay = *replay;
    }
    result.Submission = std::move(s);
    result.Status = 200;
    return result;
}

}  // namespace blubbi::hiscore
