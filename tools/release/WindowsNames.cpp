#include "WindowsNames.h"

#include "filelist/FileName.h"

namespace ostrak {

namespace {

bool IsReservedDeviceName(const std::string& name) {
    // The part before the first dot, less trailing spaces, decides:
    // "con.txt", "Con.tar.gz" and "CON .txt" are the console too.
    std::string stem = FoldedCase(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL")
        return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

} // namespace

std::string WindowsNameProblem(const std::string& name) {
    if (IsReservedDeviceName(name))
        return "is a device name on Windows (CON, PRN, AUX, NUL, COM1-9, LPT1-9), whatever the "
               "case or extension";
    if (!name.empty() && (name.back() == '.' || name.back() == ' '))
        return std::string("ends in a ") + (name.back() == '.' ? "dot" : "space") +
               ", which Windows drops from file names";
    for (char c : name)
        if (c == ':' || c == '*' || c == '"' || c == '<' || c == '>' || c == '|')
            return std::string("holds \"") + c + "\", which Windows does not allow in file names";
    return "";
}

} // namespace ostrak
