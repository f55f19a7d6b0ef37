#pragma once
// The text of a freedesktop launcher (a Desktop Entry file, version 1.5):
// the quoting of command-line arguments in Exec and the escapes of string
// values. Pure functions on UTF-8 byte strings.
#include <string>
#include <vector>

namespace ostrak {

// One argument of an Exec value, quoted: enclosed in double quotes, with
// '"', '`', '$' and '\' escaped by a backslash, and every '%' doubled (a
// literal percent sign, not a field code). Apply EscapeStringValue to the
// whole Exec value afterwards, as to every string value.
std::string QuotedExecArgument(const std::string& argument);

// A string value as it is written after "Key=": every backslash doubled and a
// leading space written as "\s".
std::string EscapeStringValue(const std::string& value);

// True when value can stand in a launcher at all: valid UTF-8 without
// control characters.
bool FitsDesktopEntry(const std::string& value);

// The launcher of an application: [Desktop Entry] with Type=Application,
// Name=name, Comment=comment and Icon=icon (each omitted when empty),
// Exec=exec (already quoted, see above), Path=folder (omitted when empty),
// Terminal=false and Categories=Game;. Values are escaped here.
std::string ApplicationEntryText(const std::string& name, const std::string& exec,
                                 const std::string& folder, const std::string& icon = "",
                                 const std::string& comment = "");

} // namespace ostrak
