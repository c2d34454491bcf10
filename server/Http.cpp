// Requests, answers and routes of the hiscore server.
#include "server/Http.h"

#include <algorithm>
#include <optional>

namespace blubbi::hiscore {

namespace {

const std::string* Find(const THttpFields& fields, std::string_view name, bool anyCase) {
    for (const auto& [key, value] : fields)
        if (anyCase ? EqualNoCase(key, name) : key == name) return &value;
    return nullptr;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %XX escapes, and in a query '+' for a space. Nothing for a broken escape or a NUL.
std::optional<std::string> Decode(std::string_view text, bool plusIsSpace) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            const int hi = HexDigit(text[i + 1]);
            const int lo = HexDigit(text[i + 2]);
            if (hi < 0 || lo < 0) return std::nullopt;
            c = static_cast<char>(hi * 16 + lo);
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            c = ' ';
        }
        if (c == '\0') return std::nullopt;
        out += c;
    }
    return out;
}

}  // namespace

bool StartsWithNoCase(std::string_view text, std::string_view start) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return text.size() >= start.size() &&
           std::equal(start.begin(), start.end(), text.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

bool THttpRequest::HasParam(std::string_view key) const { return Find(Params, key, false) != nullptr; }

std::string THttpRequest::Param(std::string_view key) const {
    const auto* value = Find(Params, key, false);
    return value ? *value : std::string();
}

bool THttpRequest::HasHeader(std::string_view name) const { return Find(Headers, name, true) != nullptr; }

std::string THttpRequest::Header(std::string_view name) const {
    const auto* value = Find(Headers, name, true);
    return value ? *value : std::string();
}

void THttpResponse::SetContent(std::string body, std::string_view type) {
    Body = std::move(body);
    SetHeader("Content-Type", std::string(type));
}

void THttpResponse::SetHeader(std::string_view name, std::string value) {
    for (auto& [key, old] : Headers)
        if (EqualNoCase(key, name)) {
            old = std::move(value);
            return;
        }
    Headers.emplace_back(std::string(name), std::move(value));
}

std::string THttpResponse::Header(std::string_view name) const {
    const auto* value = Find(Headers, name, true);
    return value ? *value : std::string();
}

bool ParseTarget(std::string_view target, THttpRequest& request) {
    if (target.empty() || target.front() != '/') return false;
    const auto question = target.find('?');
    auto path = Decode(target.substr(0, question), false);
    if (!path) return false;
    request.Path = std::move(*path);
    request.Params.clear();
    if (question == std::string_view::npos) return true;
    std::string_view query = target.substr(question + 1);
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty()) continue;
        const auto eq = pair.find('=');
        auto key = Decode(pair.substr(0, eq), true);
        auto value = Decode(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1), true);
        if (!key || !value) return false;
        request.Params.emplace_back(std::move(*key), std::move(*value));
    }
    return true;
}

namespace {

// A route's name from its pattern: a group of digits as ID, any other as FILE, escapes undone.
std::string NameOf(const std::string& pattern) {
    std::string name;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '(') {
            name += pattern.compare(i + 1, 2, "\\d") == 0 ? "ID" : "FILE";
            i = std::min(pattern.find(')', i), pattern.size());
        } else if (pattern[i] == '\\' && i + 1 < pattern.size()) {
            name += pattern[++i];
        } else {
            name += pattern[i];
        }
    }
    return name;
}

}  // namespace

void THttpRoutes::Get(const std::string& pattern, THttpHandler handler) {
    Routes.push_back({"GET", std::regex(pattern), std::move(handler), NameOf(pattern)});
}

void THttpRoutes::Post(const std::string& pattern, THttpHandler handler) {
    Routes.push_back({"POST", std::regex(pattern), std::move(handler), NameOf(pattern)});
}

std::string THttpRoutes::RouteName(const std::string& path) const {
    for (const auto& route : Routes)
        if (std::regex_match(path, route.Pattern)) return route.Name;
    return "other";
}

void THttpRoutes::Answer(THttpRequest& request, THttpResponse& response) const {
    const std::string method = request.Method == "HEAD" ? "GET" : request.Method;
    bool pathKnown = false;
    for (const auto& route : Routes) {
        std::smatch match;
        if (!std::regex_match(request.Path, match, route.Pattern)) continue;
        pathKnown = true;
        if (route.Method != method) continue;
        request.Matches.assign(match.begin(), match.end());
        try {
            route.Handler(request, response);
        } catch (...) {
            response = THttpResponse{};
            if (OnException) OnException(request, response, std::current_exception());
        }
        return Finish(request, response);
    }
    response.Status = pathKnown ? 405 : 404;
    Finish(request, response);
}

void THttpRoutes::Refuse(const THttpRequest& request, int status, THttpResponse& response) const {
    response = THttpResponse{};
    response.Status = status;
    response.SetHeader("Connection", "close");
    Finish(request, response);
}

void THttpRoutes::Finish(const THttpRequest& request, THttpResponse& response) const {
    if (response.Status >= 400 && response.Body.empty() && OnError) OnError(request, response);
    // Every answer is what its type says and runs nothing: pages with scripts of their own say what
    // they allow themselves.
    response.SetHeader("X-Content-Type-Options", "nosniff");
    if (response.Header("Content-Security-Policy").empty())
        response.SetHeader("Content-Security-Policy",
                           "default-src 'none'; img-src 'self'; style-src 'unsafe-inline'; base-uri 'none'; "
                           "form-action 'self'; frame-ancestors 'none'");
    if (OnLog) OnLog(request, response);
}

}  // namespace blubbi::hiscore
