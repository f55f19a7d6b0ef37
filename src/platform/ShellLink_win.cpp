#include "platform/ShellLink.h"

#include "platform/DesktopFolder.h"
#include "platform/Files.h"

#include <objbase.h>
#include <optional>
#include <shlobj.h>
#include <shobjidl.h>
#include <vector>
#include <windows.h>

namespace ostrak {

namespace {

constexpr const char* ProgramsMacro = "$(Programs)";

// The parts of a path after its drive, "\" and "/" both separating, with "."
// and ".." resolved lexically (".." at the root stays at the root).
void AppendParts(std::vector<std::string>& parts, const std::string& path) {
    std::string part;
    auto flush = [&] {
        if (part == "..") {
            if (parts.size() > 1)
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

std::string JoinedParts(const std::vector<std::string>& parts) {
    std::string path;
    for (size_t i = 0; i < parts.size(); ++i)
        path += (i == 0 ? "" : "\\") + parts[i];
    return parts.size() == 1 ? path + "\\" : path;
}

// The folder that folder names relative to parent; "" when it cannot be told.
// "$(Programs)" is <profile>\Start Menu\Programs, <profile> being the folder
// that holds the desktop, so "..\..\Desktop" is the desktop on every layout
// of the profile.
std::string ResolveFolder(const std::string& folder, const std::string& parent) {
    if (parent != ProgramsMacro)
        return "";
    std::vector<std::string> parts;
    if (folder.size() >= 2 && folder[1] == ':') {
        AppendParts(parts, folder);
        return JoinedParts(parts);
    }
    const std::string desktop = DesktopFolder();
    AppendParts(parts, desktop);
    if (parts.size() < 2)
        return ""; // no desktop, or one at a drive's root: no profile above it
    parts.pop_back();
    AppendParts(parts, "Start Menu\\Programs\\" + folder);
    return JoinedParts(parts);
}

// What a link holds, as IShellLinkA gives it back.
struct LinkFields {
    std::string Target;
    std::string Args;
    std::string Comment;
    std::string Folder;
    bool operator==(const LinkFields&) const = default;
};

// A new shell link object and its file interface; false (both null) when
// either cannot be had.
bool NewLink(IShellLinkA*& link, IPersistFile*& file) {
    link = nullptr;
    file = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link))))
        return false;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
        return true;
    link->Release();
    link = nullptr;
    return false;
}

// The fields of the link saved at wideLinkPath; nothing when there is none
// or it cannot be read.
std::optional<LinkFields> ReadLink(const wchar_t* wideLinkPath) {
    IShellLinkA* link;
    IPersistFile* file;
    if (!NewLink(link, file))
        return std::nullopt;
    char target[MAX_PATH] = {}, folder[MAX_PATH] = {};
    char args[INFOTIPSIZE] = {}, comment[INFOTIPSIZE] = {};
    const bool read = SUCCEEDED(file->Load(wideLinkPath, STGM_READ)) &&
                      SUCCEEDED(link->GetPath(target, sizeof target, nullptr, 0)) &&
                      SUCCEEDED(link->GetArguments(args, sizeof args)) &&
                      SUCCEEDED(link->GetDescription(comment, sizeof comment)) &&
                      SUCCEEDED(link->GetWorkingDirectory(folder, sizeof folder));
    file->Release();
    link->Release();
    if (!read)
        return std::nullopt;
    return LinkFields{target, args, comment, folder};
}

// The link at linkPath to target, started with args in target's folder; its
// comment is the link's description, and its icon the target's own. A link
// that already holds all of that is left as it is: saving one makes the
// shell announce a new desktop item (under Wine it starts a program too).
bool SaveLink(const std::string& linkPath, const std::string& target, const std::string& args,
              const std::string& comment) {
    // IPersistFile takes the name in UTF-16; the name's bytes are in the
    // ANSI code page.
    const int n = ::MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(n > 0 ? n : 1));
    if (n <= 0 || ::MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide.data(), n) <= 0)
        return false;
    const LinkFields wanted{target, args, comment, Files::ParentFolder(target)};
    if (ReadLink(wide.data()) == wanted)
        return true;
    IShellLinkA* link;
    IPersistFile* file;
    if (!NewLink(link, file))
        return false;
    const bool saved = SUCCEEDED(link->SetPath(wanted.Target.c_str())) &&
                       SUCCEEDED(link->SetArguments(wanted.Args.c_str())) &&
                       SUCCEEDED(link->SetDescription(wanted.Comment.c_str())) &&
                       SUCCEEDED(link->SetWorkingDirectory(wanted.Folder.c_str())) &&
                       SUCCEEDED(file->Save(wide.data(), TRUE));
    file->Release();
    link->Release();
    return saved;
}

} // namespace

int32_t fCreateShellLink(const std::string& folder, const std::string& name,
                         const std::string& target, const std::string& args, int32_t isPrivate,
                         const std::string& parent, const LauncherLook& look) {
    (void)isPrivate; // a link always belongs to the current user
    if (name.empty() || name.find_first_of("/\\:*?\"<>|") != std::string::npos || name == "." ||
        name == "..")
        return 0;
    const std::string place = ResolveFolder(folder, parent);
    if (place.empty() || !Files::IsDirectory(place))
        return 0;
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool saved = SaveLink(Files::JoinPath(place, name + ".lnk"), target, args, look.Comment);
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return saved ? 1 : 0;
}

} // namespace ostrak
