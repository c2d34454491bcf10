// The hiscore server's taking of a game: POST /api/scores.
#pragma once
#include "server/Http.h"
#include "server/ServiceContext.h"

namespace blubbi::hiscore {

// POST /api/scores: a game sent, checked by re-playing it, and entered.
void Submit(TServiceContext& c, const THttpRequest& req, THttpResponse& res);

}  // namespace blubbi::hiscore
