// The hiscore server's list routes: /api/scores, the list page and /name.
#pragma once
#include "server/Http.h"
#include "server/ServiceContext.h"

namespace blubbi::hiscore {

// The list, as JSON and as the page.
void InstallLists(THttpRoutes& server, TServiceContext& c);

}  // namespace blubbi::hiscore
