// Compiled alone with the number from the build, so a new version rebuilds this file only.
#include "base/Version.h"

namespace blubbi {

std::string ProgramVersion() { return BLUBBI_VERSION; }

}  // namespace blubbi
