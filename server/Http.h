// A request as the hiscore server's handlers see it, their answer, and the table of routes that
// joins them. Kept apart from the network side, so the routes run the same under the edge, in the
// fuzzer and in tests.
#pragma once
#include <exception>
#include <functional>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace blubbi::hiscore {

using THttpFields = std::vector<std::pair<std::string, std::string>>;

struct THttpRequest {
    std::string Method;
    std::string Path;    // percent-decoded, without the query
    THttpFields Params;  // the query's, decoded
    THttpFields Headers;
    std::string Body;
    std::string RemoteAddr;
    std::vector<std::string> Matches;  // the route's groups; [0] is the whole path

    bool HasParam(std::string_view key) const;
    std::string Param(std::string_view key) const;  // the first of that name; empty when none
    bool HasHeader(std::string_view name) const;    // names compared without case
    std::string Header(std::string_view name) const;
};

struct THttpResponse {
    int Status = 200;
    std::string Body;
    THttpFields Headers;

    void SetContent(std::string body, std::string_view type);
    void SetHeader(std::string_view name, std::string value);  // replaces one of the same name
    std::string Header(std::string_view name) const;
};

// Header names and tokens compare without case (ASCII letters only, as HTTP has them).
bool StartsWithNoCase(std::string_view text, std::string_view start);
inline bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

// Splits a request target into the decoded path and query; false for one that is not a path
// ("*", an absolute URL, a bad escape, a NUL).
bool ParseTarget(std::string_view target, THttpRequest& request);

using THttpHandler = std::function<void(const THttpRequest&, THttpResponse&)>;

class THttpRoutes {
public:
    void Get(const std::string& pattern, THttpHandler handler);  // HEAD is answered by it too
    void Post(const std::string& pattern, THttpHandler handler);

    // What every answer passes through: the text of an error answer that has no body yet, the
    // answer to a handler's exception, and the log line.
    std::function<void(const THttpRequest&, THttpResponse&)> OnError;
    std::function<void(const THttpRequest&, THttpResponse&, std::exception_ptr)> OnException;
    std::function<void(const THttpRequest&, const THttpResponse&)> OnLog;

    // Answers a whole request: the route whose pattern matches the path, or 404 (405 for a path
    // that another method has).
    void Answer(THttpRequest& request, THttpResponse& response) const;
    // The answer to a request refused before it was read whole (too big, unreadable, too slow).
    void Refuse(const THttpRequest& request, int status, THttpResponse& response) const;
    // The name of the route a path belongs to, for counting: its pattern with each group as ID
    // (digits) or FILE ("/replays/ID.png"); "other" for a path no route has.
    std::string RouteName(const std::string& path) const;

private:
    struct TRoute {
        std::string Method;
        std::regex Pattern;
        THttpHandler Handler;
        std::string Name;
    };
    std::vector<TRoute> Routes;

    void Finish(const THttpRequest& request, THttpResponse& response) const;
};

}  // namespace blubbi::hiscore
