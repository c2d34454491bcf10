// What the operator asks: whether the server is well, and its counts.
#include "server/OperatorRoutes.h"

#include <sstream>

#include "base/Version.h"
#include "server/AdminRoutes.h"
#include "server/Answers.h"

namespace blubbi::hiscore {

void InstallOperator(THttpRoutes& server, TServiceContext& c) {
    // For the operator: whether the database answers and how many checks wait; the counts in
    // Prometheus's text format.
    server.Get("/healthz", [&c](const THttpRequest&, THttpResponse& res) {
        bool database = true;
        try {
            c.Store.Count();
        } catch (const std::exception&) {
            database = false;
        }
        SendJson(res, database ? 200 : 503,
                 {{"status", database ? "ok" : "database unreachable"},
                  {"database", database},
                  {"version", ProgramVersion()},
                  {"queue", c.Pool.Waiting()}});
    });
    server.Get("/metrics", [&c](const THttpRequest&, THttpResponse& res) {
        std::ostringstream out;
        const std::lock_guard guard(c.CountsLock);
        out << "# TYPE blubbi_requests_total counter\n";
        for (const auto& [key, n] : c.Requests)
            out << "blubbi_requests_total{route=\"" << key.first << "\",status=\"" << key.second << "\"} " << n << "\n";
        out << "# TYPE blubbi_checks_total counter\n";
        for (const auto& [verdict, n] : c.Checks)
            out << "blubbi_checks_total{verdict=\"" << verdict << "\"} " << n << "\n";
        out << "# TYPE blubbi_check_seconds_total counter\nblubbi_check_seconds_total " << c.CheckSeconds << "\n";
        out << "# TYPE blubbi_check_queue gauge\nblubbi_check_queue " << c.Pool.Waiting() << "\n";
        out << "# TYPE blubbi_check_threads gauge\nblubbi_check_threads " << c.Limits.VerifyThreads << "\n";
        out << "# TYPE blubbi_database_errors_total counter\nblubbi_database_errors_total " << c.DbErrors << "\n";
        out << "# TYPE blubbi_connections_refused_total counter\nblubbi_connections_refused_total "
            << c.RefusedConnections << "\n";
        res.SetContent(out.str(), "text/plain; version=0.0.4; charset=utf-8");
    });

    if (!c.Limits.AdminToken.empty()) InstallAdmin(server, c);
}

}  // namespace blubbi::hiscore
