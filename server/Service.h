// The hiscore server's HTTP side: thin handlers that read, check the limits, and answer.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "server/Limits.h"
#include "server/ScoreStore.h"
#include "server/Verifier.h"

namespace blubbi::hiscore {

class THttpRoutes;

struct TServiceContext;  // the store, the checker, the limits and their state; shared by the handlers

class THiscoreService {
public:
    // verifier may be null: such a server lists and serves, but takes no new scores.
    THiscoreService(TScoreStore& store, TScoreVerifier* verifier, const TLimits& limits);
    ~THiscoreService();

    // Adds the routes, the error answers and the log line.
    void Install(THttpRoutes& routes);
    // Counts and logs a connection the edge refused for its address's or its own limit.
    void ConnectionRefused(const std::string& address);

private:
    std::unique_ptr<TServiceContext> Context;
};

}  // namespace blubbi::hiscore
