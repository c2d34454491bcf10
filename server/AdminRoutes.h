// The hiscore server's routes behind the operator's token.
#pragma once
#include "server/Http.h"
#include "server/ServiceContext.h"

namespace blubbi::hiscore {

// The operator's: take an entry out of the lists and back, refuse a name or an address and lift it,
// and see what is hidden and banned.
void InstallAdmin(THttpRoutes& server, TServiceContext& c);

}  // namespace blubbi::hiscore
