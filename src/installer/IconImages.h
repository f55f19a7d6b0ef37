#pragma once
// The Ostrak icon (packaging/icons), built into the program as PNG images so
// that the installer needs no file beside it: the window shows it, and the
// game's launcher names it (GameIconName) in the user's icon theme.
#include <span>
#include <string_view>

namespace ostrak {

struct IconImage {
    int Size; // width and height in pixels
    std::string_view Png;
};

// The images, smallest first.
std::span<const IconImage> OstrakIconImages();

// The icon name of the game's launcher in the user's icon theme.
inline constexpr const char* GameIconName = "ostrak";

} // namespace ostrak
