// frmSplash: the shell folders and the desktop launcher of the game.
#include "installer/frmSplash.h"

#include "installer/IconImages.h"
#include "platform/DesktopFolder.h"
#include "platform/Files.h"
#include "platform/ShellLink.h"
#include "platform/ThemeIcon.h"

namespace ostrak {

std::string frmSplash::GetSpecialFolder(int32_t folder) {
    return folder == DesktopFolderId ? DesktopFolder() : std::string();
}

int32_t frmSplash::CreateDesktopShortcut() {
    // The desktop folder's own name; "" when there is no desktop.
    const std::string desktopName = Files::BaseName(GetSpecialFolder(DesktopFolderId));
    // The launcher names its icon; the image goes into the user's icon
    // theme, never into the installation folder.
    for (const IconImage& image : OstrakIconImages())
        PlaceThemeIcon(GameIconName, image.Size, image.Png);
    return fCreateShellLink("..\\..\\" + desktopName, "Ostrak",
                            Files::JoinPath(InstallFolder, "ostrak.exe"), "", -1, "$(Programs)",
                            {GameIconName, "Play Ostrak, The Amber Reach"});
}

} // namespace ostrak
