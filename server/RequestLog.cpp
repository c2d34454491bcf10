// One line a request on standard output, and the counts /metrics shows.
#include "server/RequestLog.h"

#include <cstdio>
#include <mutex>

namespace blubbi::hiscore {

thread_local std::string Verdict;
thread_local double CheckMs = -1;

std::string Printable(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte >= 0x20 && byte != 0x7F && ch != '\\') {
            out += ch;
            continue;
        }
        static constexpr char kHex[] = "0123456789abcdef";
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 15];
    }
    return out;
}

void LogLine(std::string line) {
    static std::mutex lock;
    line += "\n";
    const std::lock_guard guard(lock);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void LogRequest(TServiceContext& c, const THttpRoutes& routes, const THttpRequest& req, const THttpResponse& res) {
    {
        const std::lock_guard guard(c.CountsLock);
        ++c.Requests[{routes.RouteName(req.Path), res.Status}];
        if (!Verdict.empty()) ++c.Checks[Verdict];
        if (CheckMs >= 0) c.CheckSeconds += CheckMs / 1000;
    }
    if (!c.Limits.LogRequests) {
        Verdict.clear();
        CheckMs = -1;
        return;
    }
    std::string line = ClientAddress(c, req) + " " + Printable(req.Method) + " " + Printable(req.Path) + " " +
                       std::to_string(res.Status);
    if (!Verdict.empty()) line += " " + Verdict;
    if (CheckMs >= 0) line += " " + std::to_string(static_cast<int64_t>(CheckMs)) + "ms";
    Verdict.clear();
    CheckMs = -1;
    LogLine(line);
}

}  // namespace blubbi::hiscore
