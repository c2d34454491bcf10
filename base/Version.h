// The program's version: the project's one number, as every program, replay and server names it.
#pragma once
#include <string>

namespace blubbi {

std::string ProgramVersion();

}  // namespace blubbi
