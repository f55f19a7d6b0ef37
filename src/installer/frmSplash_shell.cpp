// frmSplash: the shell folders and the desktop launcher of the game.
#include "installer/frmSplash.h"

#include "platform/DesktopFolder.h"
#include "platform/Files.h"
#include "platform/ShellLink.h"

namespace ostrak {

std::string frmSplash::GetSpecialFolder(int32_t folder) {
    return folder == DesktopFolderId ? DesktopFolder() : std::string();
}

int32_t frmSplash::CreateDesktopShortcut() {
    // The desktop folder's own name; "" when there is no desktop.
    const std::string desktopName = Files::BaseName(GetSpecialFolder(DesktopFolderId));
    return fCreateShellLink("..\\..\\" + desktopName, "Ostrak",
                            Files::JoinPath(InstallFolder, "ostrak.exe"), "", -1, "$(Programs)");
}

} // namespace ostrak
