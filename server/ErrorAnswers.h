// The hiscore server's answers for what goes wrong.
#pragma once
#include "server/Http.h"
#include "server/ServiceContext.h"

namespace blubbi::hiscore {

// Answers for what goes wrong: the edge's and the routes' own, and a handler's exception.
void InstallErrors(THttpRoutes& server, TServiceContext& c);

}  // namespace blubbi::hiscore
