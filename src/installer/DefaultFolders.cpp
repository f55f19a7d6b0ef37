#include "installer/DefaultFolders.h"

#include "platform/Environment.h"
#include "platform/Files.h"

namespace ostrak {

std::string DefaultInstallFolder() {
    const std::string home = HomeFolder();
    return (home == "/" ? std::string() : home) + Files::Separator() + "Games" +
           Files::Separator() + "Ostrak";
}

} // namespace ostrak
