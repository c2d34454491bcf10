// The hiscore server's log line and counts of each request.
#pragma once
#include <string>
#include <string_view>

#include "server/ServiceContext.h"

namespace blubbi::hiscore {

// What the submission just handled on this thread came to, for its log line.
extern thread_local std::string Verdict;
extern thread_local double CheckMs;

// What a client sent, fit for a line of the log: control characters (a decoded %0A would begin a
// forged line) and the backslash as \xNN.
std::string Printable(std::string_view text);
void LogLine(std::string line);
// One line a request on standard output: client, method, path, status, and for a checked
// submission its verdict and the check's time; and the request counted.
void LogRequest(TServiceContext& c, const THttpRoutes& routes, const THttpRequest& req, const THttpResponse& res);

}  // namespace blubbi::hiscore
