#pragma once
// Whether a name from the release file list may be used as a plain file name
// inside the installation folder.
#include <array>
#include <string>

namespace ostrak {

// False for the empty name, "." and "..", and for a name holding "/" or "\",
// NUL or any other control character (bytes 1 to 31 and 127). Bytes from 128
// up are allowed: they are the code page's letters.
bool IsSafeFileName(const std::string& name);

// name with its letters in one case, as Windows compares file names: ASCII
// letters and the letters of Windows-1252 (the code page the installer shows
// names in) are folded; other bytes stay.
std::string FoldedCase(const std::string& name);

// The files every release has besides its listed ones, under these names:
// never entries of the list.
inline const std::array<std::string, 5> FixedFileNames = {
    "ostrak.exe", "dta.lst", "CGZipLibrary.dll", "Unzip32.dll", "gdiplus.dll"};
// The file whose text is the release's version, served beside them.
inline const std::string VersionFileName = "index.php";
// Every file a release serves besides its listed ones: the version text and
// the fixed files.
inline const std::array<std::string, 6> UnlistedFileNames = {VersionFileName,   FixedFileNames[0],
                                                             FixedFileNames[1], FixedFileNames[2],
                                                             FixedFileNames[3], FixedFileNames[4]};
// Whether name is one of FixedFileNames, letter case folded.
bool IsFixedFileName(const std::string& name);

} // namespace ostrak
