// The submission form's fields and their rules.
#include "server/Form.h"

#include <httplib.h>
#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/compress/Gzip.h"

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

// Something to see: a letter, a digit, a punctuation mark or a symbol, not only marks and spaces.
bool IsVisible(utf8proc_int32_t c) {
    const auto category = utf8proc_category(c);
    return category >= UTF8PROC_CATEGORY_LU && category <= UTF8PROC_CATEGORY_SO &&
           (category < UTF8PROC_CATEGORY_MN || category > UTF8PROC_CATEGORY_ME);
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
            reason = "Der Name enthält Steuer- oder unsichtbare Zeichen.";
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
    if (IsGzip(replay->content)) {
        // Packed, its unpacked size is bounded too: a few packed bytes could stand for gigabytes.
        auto unpacked = Gunzip(replay->content, kMaxReplayBytes);
        if (!unpacked) {
            result.Status = 413;
            result.Reason = "Die Wiederholung ist beschädigt gepackt oder entpackt größer als " +
                            std::to_string(kMaxReplayBytes >> 20) + " MB.";
            return result;
        }
        s.Replay = std::move(*unpacked);
    } else {
        s.Replay = replay->content;
    }
    result.Submission = std::move(s);
    result.Status = 200;
    return result;
}

}  // namespace blubbi::hiscore
