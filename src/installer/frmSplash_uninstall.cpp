// frmSplash: the uninstall action and the removal of the installation folder
// tree.
#include "installer/frmSplash.h"

#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/FolderTree.h"
#include "platform/Settings.h"
#include "runtime/Program.h"

#include <utility>
#include <vector>

namespace ostrak {

namespace {

constexpr int32_t Refused = -1;
constexpr const char* DeleteSource = "frmSplash.DeleteFolderTree";
// Every installation has the release list at its top.
constexpr const char* ReleaseListName = "dta.lst";

std::string TrimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// True when inner is outer or lies somewhere below it (both resolved paths).
bool IsSameOrBelow(const std::string& inner, const std::string& outer) {
    if (inner == outer)
        return true;
    const std::string prefix = Files::JoinPath(outer, "");
    return inner.compare(0, prefix.size(), prefix) == 0;
}

// Removes everything in folder (a folder, not a link) and then, when removeFolder, the folder
// itself. Files and links go while the folder is listed, subfolders afterwards in listing order,
// depth first; a failure stops everything at once. Returns 0, or the error number of the first item
// that could not be removed (failure says which and why).
int32_t RemoveTree(const std::string& folder, bool removeFolder, ErrorRecord& failure) {
    using namespace FolderTree;
    // Best effort: should the permissions stay as they are, the listing or a
    // removal below fails and says why.
    Files::MakeWritable(folder);
    std::vector<std::string> names;
    if (!ListNames(folder, names, &failure))
        return failure.Number;
    std::vector<std::string> subfolders;
    for (const std::string& name : names) {
        std::string item = Files::JoinPath(folder, name);
        ItemInfo entry;
        if (!Inspect(item, entry, &failure))
            return failure.Number;
        if (entry.Kind == ItemKind::Folder) {
            subfolders.push_back(std::move(item));
            continue;
        }
        // A file is made writable before it goes, like a folder. Only the
        // folder's permissions decide whether it can be removed, so a file
        // whose mode cannot be changed is removed all the same.
        Files::MakeWritable(item);
        if (!RemoveItem(item, &failure))
            return failure.Number;
    }
    for (const std::string& subfolder : subfolders) {
        if (const int32_t result = RemoveTree(subfolder, true, failure); result != 0)
            return result;
    }
    if (removeFolder && !RemoveEmptyFolder(folder, &failure))
        return failure.Number;
    return 0;
}

std::string IncompleteText(const std::string& folder, const ErrorRecord& failure) {
    if (failure.Number == Refused)
        return "Ostrak's settings have been deleted, but nothing was removed from the folder \"" +
               folder + "\": " + failure.Description + ".";
    return "Ostrak's settings have been deleted, but the folder \"" + folder +
           "\" could not be removed completely. The first item that could not be removed: " +
           failure.Description + ". What was not removed is still on disk.";
}

} // namespace

void frmSplash::Command2_Click() {
    SetBusy(VbTrue);
    const int32_t answer = MsgBox("Are you sure you wish to eredicate any trace of Ostrak on your "
                                  "computer?\r\nThis cannot be undone!",
                                  vbYesNo + vbQuestion, "Are you sure?");
    if (ProgramEnded())
        return;
    if (answer != vbYes) {
        SetBusy(VbFalse);
        return;
    }
    DeleteSetting(SettingsApplication, SettingsSection);
    const int32_t result = DeleteFolderTree(InstallFolder);
    // Not busy before the exit path: a busy window refuses to be unloaded.
    SetBusy(VbFalse);
    if (result == 0)
        MsgBox("Ostrak and all it's components have been deleted. Thank you, and come again!",
               vbInformation + vbOKOnly, "Uninstall complete.");
    else
        MsgBox(IncompleteText(InstallFolder, DeleteFolderTreeFailure), vbExclamation + vbOKOnly,
               "Uninstall incomplete");
    if (ProgramEnded())
        return;
    Command3_Click();
}

int32_t frmSplash::DeleteFolderTree(const std::string& path) {
    using namespace FolderTree;
    DeleteFolderTreeFailure.Clear();
    const auto refuse = [this](const char* why) {
        DeleteFolderTreeFailure = ErrorRecord{Refused, why, DeleteSource};
        return Refused;
    };

    std::string folder = TrimBlanks(path);
    if (folder.empty())
        return refuse("no folder was given");
    if (folder.front() != Files::Separator())
        return refuse("it is not an absolute path");
    while (folder.size() > 1 && folder.back() == Files::Separator())
        folder.pop_back();

    // The checks look at the folder the path leads to, through any links.
    std::string real;
    ItemInfo realInfo;
    if (!Files::RealPath(folder, real) || !Inspect(real, realInfo) ||
        realInfo.Kind != ItemKind::Folder)
        return refuse("it is not an existing folder");
    if (real == std::string(1, Files::Separator()))
        return refuse("it is the root folder");
    std::string home;
    if (!Files::RealPath(HomeFolder(), home))
        home = HomeFolder();
    if (IsSameOrBelow(home, real))
        return refuse("it is your home folder or contains it");
    ItemInfo list;
    if (!Inspect(Files::JoinPath(real, ReleaseListName), list) ||
        list.Kind != ItemKind::RegularFile)
        return refuse("it is not an Ostrak installation (there is no file dta.lst in it)");

    // A link to the installation: what is inside goes, then the link; the
    // folder it points to stays.
    ItemInfo given;
    const bool isLink = Inspect(folder, given) && given.Kind == ItemKind::Link;
    int32_t result = RemoveTree(real, !isLink, DeleteFolderTreeFailure);
    if (result == 0 && isLink && !RemoveItem(folder, &DeleteFolderTreeFailure))
        result = DeleteFolderTreeFailure.Number;
    if (result != 0)
        DeleteFolderTreeFailure.Source = DeleteSource;
    return result;
}

} // namespace ostrak
