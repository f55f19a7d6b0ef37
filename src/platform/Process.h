#pragma once
// Facts about the running program.
#include <string>

namespace ostrak {

// The executable's file name without folder and extension ("ostrak_install").
std::string ExecutableBaseName();

} // namespace ostrak
