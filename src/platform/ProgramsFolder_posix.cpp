#include "platform/ProgramsFolder.h"

#include "platform/Environment.h"
#include "platform/Files.h"

namespace ostrak {

std::string ProgramsFolder() {
    const std::string home = HomeFolder();
    return (home == "/" ? std::string() : home) + Files::Separator() + "Games";
}

} // namespace ostrak
