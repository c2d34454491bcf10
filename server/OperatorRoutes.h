// The operator's routes of the hiscore server: /healthz and /metrics, and the admin ones.
#pragma once
#include "server/Http.h"
#include "server/ServiceContext.h"

namespace blubbi::hiscore {

// What the operator asks: the state of the server, its counts, and the hiding and bans.
void InstallOperator(THttpRoutes& server, TServiceContext& c);

}  // namespace blubbi::hiscore
