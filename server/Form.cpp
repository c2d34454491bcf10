// The submission form's fields and their rules.
#include "server/Form.h"

#include <httplib.h>

#include <vector>

namespace blubbi::hiscore {

namespace {

// Strict UTF-8 to code points: no overlong forms, no surrogates, nothing above U+10FFFF.
std::optional<std::vector<char32_t>> DecodeUtf8(std::string_view s) {
    std::vector<char32_t> out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        size_t n = 0;
        char32_t cp = 0, min = 0;
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        } else if ((b0 & 0xE0) == 0xC0) {
            n = 1, cp = b0 & 0x1Fu, min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            n = 2, cp = b0 & 0x0Fu, min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            n = 3, cp = b0 & 0x07u, min = 0x10000;
        } else {
            return std::nullopt;
        }
        if (s.size() - i <= n) return std::nullopt;
        for (size_t k = 1; k <= n; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
        out.push_back(cp);
        i += n + 1;
    }
    return out;
}

bool IsSpace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Characters that would not show as themselves in the list: controls, and the marks that
// turn the direction of the text after them (a name could reverse the rest of its row).
bool IsForbidden(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) ||
           c == 0x200E || c == 0x200F || c == 0xFEFF;
}

// The one value of a form field; several fields of the same name are refused.
const httplib::MultipartFormData* Field(const httplib::Request& request, const char* key, std::string& reason) {
    const auto count = request.files.count(key);
    if (count == 0) {
        reason = std::string("Es fehlt das Feld „") + key + "“.";
        return nullptr;
    }
    if (count > 1) {
        reason = std::string("Das Feld „") + key + "“ kommt mehrfach vor.";
        return nullptr;
    }
    return &request.files.find(key)->second;
}

}  // namespace

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
    for (size_t i = begin; i < end; ++i) {
        if (IsForbidden((*cps)[i])) {
            reason = "Der Name enthält Steuerzeichen.";
            return std::nullopt;
        }
    }
    // Cut the original bytes at the same characters: the text in between is valid as it came.
    size_t byteBegin = 0, byteEnd = 0, index = 0;
    for (size_t i = 0; i <= raw.size(); ++i) {
        if (i < raw.size() && (static_cast<unsigned char>(raw[i]) & 0xC0) == 0x80) continue;
        if (index == begin) byteBegin = i;
        if (index == end) {
            byteEnd = i;
            break;
        }
        ++index;
    }
    return std::string(raw.substr(byteBegin, byteEnd - byteBegin));
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

TFormResult ReadSubmission(const httplib::Request& request) {
    TFormResult result;
    if (!request.is_multipart_form_data()) {
        result.Status = 415;
        result.Reason = "Erwartet wird ein Formular (multipart/form-data) mit name, punkte und replay.";
        return result;
    }
    const auto* name = Field(request, "name", result.Reason);
    if (!name) return result;
    const auto* points = Field(request, "punkte", result.Reason);
    if (!points) return result;
    const auto* replay = Field(request, "replay", result.Reason);
    if (!replay) return result;

    TSubmission s;
    auto cleaned = CleanName(name->content, result.Reason);
    if (!cleaned) return result;
    s.Name = std::move(*cleaned);
    const auto parsed = ParsePoints(points->content);
    if (!parsed) {
        result.Reason = "Die Punkte sind keine gültige Zahl.";
        return result;
    }
    s.Points = *parsed;
    if (replay->content.empty()) {
        result.Reason = "Die Wiederholung ist leer.";
        return result;
    }
    s.Replay = replay->content;
    result.Submission = std::move(s);
    result.Status = 200;
    return result;
}

}  // namespace blubbi::hiscore
