#pragma once
// Icons in the user's icon theme (freedesktop Icon Theme), for launchers
// that name an icon instead of a file. UI thread. Windows has none: there
// the path is "" and nothing is placed (false).
#include <string>
#include <string_view>

namespace ostrak {

// Where the icon name of size x size pixels lives in the user's hicolor
// theme: $XDG_DATA_HOME/icons/hicolor/<size>x<size>/apps/<name>.png, with
// ~/.local/share when XDG_DATA_HOME is unset or not absolute.
std::string ThemeIconPath(const std::string& name, int size);

// Places the PNG image png there unless a file is there already (a copy the
// user or another program put there is left alone). The folders are made as
// needed; the image is written under a temporary name and renamed, mode 0666
// less the umask. True when the icon is there afterwards.
bool PlaceThemeIcon(const std::string& name, int size, std::string_view png);

} // namespace ostrak
