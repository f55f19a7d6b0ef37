#pragma once
// The shortcut service of the setup toolkit, placing freedesktop launchers.
// UI thread; reads the desktop folder afresh on every call.
#include <cstdint>
#include <string>

namespace ostrak {

// Places the launcher <name>.desktop in folder, which is relative to parent.
//   folder   "\" and "/" both separate its parts; ".." climbs lexically;
//            a folder that starts with a separator is absolute.
//   name     the launcher's file name (without ".desktop") and its Name.
//   target   the program to start, a path of this system taken as it is.
//            A Windows executable (its file starts with "MZ", or it is
//            missing and its name ends in ".exe") starts as wine "<target>",
//            anything else as "<target>".
//   args     its arguments: words separated by blanks, "..." keeps blanks in
//            one word; each is quoted as an Exec argument.
//   isPrivate  ignored: a launcher always belongs to the current user.
//   parent   "$(Programs)": <profile>/Start Menu/Programs, where <profile> is
//            the parent of the desktop folder (DesktopFolder.h); so the folder
//            "..\..\" + the desktop's own name is the desktop.
//   look     what a launcher shows besides its name: an icon by name (of
//            the user's icon theme, ThemeIcon.h) and a comment; either may be
//            empty (not written).
// The launcher (Type=Application, Name, Comment, Icon, Exec, Path = the
// target's folder, Terminal=false, Categories=Game;) is written to a
// temporary name, made
// mode 0755 and renamed over any earlier one. Returns 1 when it was written,
// 0 when not: another parent, no desktop folder, a folder that does not
// exist, an empty name or one with a separator, a value that a launcher
// cannot hold (not UTF-8, control characters), a failed write.
// On Windows the launcher is <name>.lnk, made through the shell's link
// object (its icon the target's own, the comment its description); a link
// that already holds the same target, arguments, folder and description is
// left as it is.
struct LauncherLook {
    std::string Icon;
    std::string Comment;
};
int32_t fCreateShellLink(const std::string& folder, const std::string& name,
                         const std::string& target, const std::string& args, int32_t isPrivate,
                         const std::string& parent, const LauncherLook& look = {});

} // namespace ostrak
