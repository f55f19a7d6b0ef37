#include "platform/ShellLink.h"

#include "platform/DesktopEntry.h"
#include "platform/DesktopFolder.h"
#include "platform/Files.h"
#include "platform/StartProgram.h"

#include <sys/stat.h>
#include <vector>

namespace ostrak {

namespace {

constexpr const char* ProgramsMacro = "$(Programs)";

// The parts of a path, "\" and "/" both separating, with "." and ".."
// resolved lexically (".." at the root stays at the root).
void AppendParts(std::vector<std::string>& parts, const std::string& path) {
    std::string part;
    auto flush = [&] {
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        part.clear();
    };
    for (char c : path) {
        if (c == '/' || c == '\\')
            flush();
        else
            part += c;
    }
    flush();
}

std::string AbsolutePath(const std::vector<std::string>& parts) {
    std::string path;
    for (const std::string& part : parts)
        path += "/" + part;
    return path.empty() ? "/" : path;
}

// The folder that folder names relative to parent; "" when it cannot be told.
std::string ResolveFolder(const std::string& folder, const std::string& parent) {
    if (parent != ProgramsMacro)
        return "";
    std::vector<std::string> parts;
    if (!folder.empty() && (folder[0] == '/' || folder[0] == '\\')) {
        AppendParts(parts, folder);
        return AbsolutePath(parts);
    }
    const std::string desktop = DesktopFolder();
    AppendParts(parts, desktop);
    if (parts.empty())
        return ""; // no desktop, or one at the root: no profile above it
    parts.pop_back();
    AppendParts(parts, "Start Menu/Programs/" + folder);
    return AbsolutePath(parts);
}

bool EndsWithExe(const std::string& path) {
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    return tail == ".exe";
}

// Words separated by blanks; a "..." group keeps its blanks (quotes dropped).
std::vector<std::string> SplitArguments(const std::string& args) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (char c : args) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return "";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

int32_t fCreateShellLink(const std::string& folder, const std::string& name,
                         const std::string& target, const std::string& args, int32_t isPrivate,
                         const std::string& parent, const LauncherLook& look) {
    (void)isPrivate;
    if (name.empty() || name.find_first_of("/\\") != std::string::npos || name == "." ||
        name == "..")
        return 0;
    const std::string place = ResolveFolder(folder, parent);
    if (place.empty() || !Files::IsDirectory(place))
        return 0;

    const bool windows = Files::Exists(target) ? IsWindowsExecutable(target) : EndsWithExe(target);
    std::string exec = windows ? "wine " : "";
    exec += QuotedExecArgument(target);
    const std::vector<std::string> words = SplitArguments(args);
    for (const std::string& word : words) {
        exec += ' ';
        exec += QuotedExecArgument(word);
    }
    const std::string workingFolder = FolderOf(target);
    if (!FitsDesktopEntry(name) || !FitsDesktopEntry(exec) || !FitsDesktopEntry(workingFolder) ||
        !FitsDesktopEntry(look.Icon) || !FitsDesktopEntry(look.Comment))
        return 0;
    const std::string text =
        ApplicationEntryText(name, exec, workingFolder, look.Icon, look.Comment);

    Files::AtomicFileWriter writer;
    if (!writer.Begin(Files::JoinPath(place, name + ".desktop")) ||
        !writer.Write(text.data(), text.size()) ||
        ::chmod(writer.TemporaryPath().c_str(), 0755) != 0 || !writer.Commit())
        return 0;
    return 1;
}

} // namespace ostrak
