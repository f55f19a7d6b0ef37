#include "installer/DefaultFolders.h"

#include "platform/Files.h"
#include "platform/ProgramsFolder.h"

namespace ostrak {

std::string DefaultInstallFolder() {
    return ProgramsFolder() + Files::Separator() + "Ostrak";
}

} // namespace ostrak
