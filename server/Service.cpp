// The routes of the hiscore server. Every answer to the game is JSON with a German reason; the
// list page is HTML. Storage and checking sit behind their interfaces; each group of routes is a
// file of its own, their shared state the context (ServiceContext.h).
#include "server/Service.h"

#include "server/Answers.h"
#include "server/ErrorAnswers.h"
#include "server/ListRoutes.h"
#include "server/OperatorRoutes.h"
#include "server/ReplayRoutes.h"
#include "server/RequestLog.h"
#include "server/ServiceContext.h"
#include "server/Submission.h"

namespace blubbi::hiscore {

THiscoreService::THiscoreService(TScoreStore& store, TScoreVerifier* verifier, const TLimits& limits)
    : Context(std::make_unique<TServiceContext>(store, verifier, limits)) {}

THiscoreService::~THiscoreService() = default;

void THiscoreService::Install(THttpRoutes& server) {
    TServiceContext& c = *Context;
    server.OnLog = [&c, &server](const THttpRequest& req, const THttpResponse& res) {
        LogRequest(c, server, req, res);
    };

    server.Post(kScoresPath, [&c](const THttpRequest& req, THttpResponse& res) { Submit(c, req, res); });

    InstallOperator(server, c);
    InstallLists(server, c);
    InstallReplays(server, c);
    InstallBrowserGame(server, c.Store, c.Web);
    InstallErrors(server, c);
}

void THiscoreService::ConnectionRefused(const std::string& address) {
    TServiceContext& c = *Context;
    {
        const std::lock_guard guard(c.CountsLock);
        ++c.RefusedConnections;
    }
    if (c.Limits.LogRequests) LogLine(address + " - connection refused: too many open");
}

}  // namespace blubbi::hiscore
