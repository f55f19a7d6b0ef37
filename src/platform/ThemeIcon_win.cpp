#include "platform/ThemeIcon.h"

namespace ostrak {

// Windows has no icon theme: a shortcut shows its target's own icon.
std::string ThemeIconPath(const std::string& name, int size) {
    (void)name;
    (void)size;
    return "";
}

bool PlaceThemeIcon(const std::string& name, int size, std::string_view png) {
    (void)name;
    (void)size;
    (void)png;
    return false;
}

} // namespace ostrak
