#pragma once
// Facts about the running program.
#include <string>

// The executable's file name without folder and extension ("ostrak_install").
std::string ExecutableBaseName();
