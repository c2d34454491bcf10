// The hiscore server's routes of each entry's replay and picture.
#pragma once
#include "server/Http.h"
#include "server/ServiceContext.h"

namespace blubbi::hiscore {

// Each entry's replay and the picture of its last frame.
void InstallReplays(THttpRoutes& server, TServiceContext& c);

}  // namespace blubbi::hiscore
