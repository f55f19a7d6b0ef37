// frmSplash: the uninstall action and the removal of the installation folder
// tree.
#include "installer/frmSplash.h"

#include "filelist/FileListReader.h"
#include "installer/FolderOwnership.h"
#include "installer/ParentFolders.h"
#include "installer/ReleaseSerial.h"
#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/FolderTree.h"
#include "platform/Settings.h"
#include "platform/TemporaryFiles.h"
#include "runtime/Program.h"

#include <iterator>
#include <vector>

namespace ostrak {

namespace {

constexpr int32_t Refused = -1;
constexpr const char* DeleteSource = "frmSplash.DeleteFolderTree";
// What an install places in the folder besides the listed files.
constexpr const char* ReleaseListName = "dta.lst";
const char* const PlacedFiles[] = {ReleaseListName, "ostrak.exe", "CGZipLibrary.dll",
                                   "Unzip32.dll"};

// True when inner is outer or lies somewhere below it (both resolved paths).
bool IsSameOrBelow(const std::string& inner, const std::string& outer) {
    if (inner == outer)
        return true;
    const std::string prefix = Files::JoinPath(outer, "");
    return inner.compare(0, prefix.size(), prefix) == 0;
}

// The names an install placed at the top of folder: the fixed files, the
// entries of its release list (when it reads whole) and temporary files of
// ours.
std::vector<std::string> PlacedNames(const FolderTree::OpenFolder& folder) {
    std::vector<std::string> names(std::begin(PlacedFiles), std::end(PlacedFiles));
    std::string bytes;
    FileListTable list;
    if (folder.ReadFile(ReleaseListName, MaxFileListBytes, bytes) &&
        DecodeFileList(bytes, list) == FileListStatus::Read)
        for (int i = 0; i < list.EntryCount; ++i)
            if (IsTrue(list.EntryNameSafe[i]))
                names.push_back(list.EntryNames[i]);
    std::vector<std::string> present;
    if (folder.ListNames(present))
        for (const std::string& name : present)
            if (Files::IsTemporaryName(name))
                names.push_back(name);
    return names;
}

std::string KeptText(const std::string& folder) {
    return "\r\n\r\nThe folder \"" + folder +
           "\" was kept, with the files in it that Ostrak did not place.";
}

std::string IncompleteText(const std::string& folder, const ErrorRecord& failure) {
    if (failure.Number == Refused)
        return "Nothing was removed from the folder \"" + folder + "\": " + failure.Description +
               ". Ostrak's settings have been kept.";
    return "The folder \"" + folder +
           "\" could not be removed completely. The first item that could not be removed: " +
           failure.Description +
           ". What was not removed is still on disk, and Ostrak's settings have been kept, so "
           "that Uninstall can be tried again.";
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
    const int32_t result = DeleteFolderTree(InstallFolder);
    // The settings go once the removal has ended; a refused folder, or one
    // that could not be removed, keeps them, so that Uninstall can try again.
    // The serial of the last signed release lives in a section of its own and
    // stays; one stored beside the folder by an earlier install moves there
    // first, so that a later install never takes an older release.
    if (result == 0) {
        const std::string serial =
            GetSetting(SettingsApplication, SettingsSection, ReleaseSerialKey);
        if (!serial.empty() &&
            GetSetting(SettingsApplication, ReleaseSerialSection, ReleaseSerialKey).empty())
            SaveSetting(SettingsApplication, ReleaseSerialSection, ReleaseSerialKey, serial);
        const std::string parentsMade =
            GetSetting(SettingsApplication, SettingsSection, ParentFolders::SettingKey);
        DeleteSetting(SettingsApplication, SettingsSection);
        // What the installs made and nothing else fills goes too.
        ParentFolders::RemoveEmpty(InstallFolder, parentsMade);
        RemoveEmptySettings(SettingsApplication);
    }
    // Not busy before the exit path: a busy window refuses to be unloaded.
    SetBusy(VbFalse);
    if (result == 0)
        MsgBox("Ostrak and all it's components have been deleted. Thank you, and come again!" +
                   (DeleteFolderTreeKept.empty() ? std::string() : KeptText(InstallFolder)),
               vbInformation + vbOKOnly, "Uninstall complete.");
    else
        MsgBox(IncompleteText(InstallFolder, DeleteFolderTreeFailure), vbExclamation + vbOKOnly,
               "Uninstall incomplete");
    if (ProgramEnded())
        return;
    Command3_Click();
}

int32_t frmSplash::DeleteFolderTree(const std::string& path) {
    DeleteFolderTreeFailure.Clear();
    DeleteFolderTreeKept.clear();
    const auto refuse = [this](const char* why) {
        DeleteFolderTreeFailure = ErrorRecord{Refused, why, DeleteSource};
        return Refused;
    };
    const auto failed = [this] {
        DeleteFolderTreeFailure.Source = DeleteSource;
        return DeleteFolderTreeFailure.Number;
    };

    // The path exactly as stored: a blank at either end belongs to the name.
    std::string folder = path;
    if (folder.empty())
        return refuse("no folder was given");
    if (!Files::IsAbsolutePath(folder))
        return refuse("it is not an absolute path");
    while (folder.size() > 1 && folder.back() == Files::Separator())
        folder.pop_back();

    // The checks look at the folder the path leads to, through any links; the
    // removal then works on the folder opened at exactly that place.
    std::string real;
    if (!Files::RealPath(folder, real) || !Files::IsDirectory(real))
        return refuse("it is not an existing folder");
    if (Files::IsRootPath(real))
        return refuse("it is the root folder");
    std::string home;
    if (!Files::RealPath(HomeFolder(), home))
        home = HomeFolder();
    if (IsSameOrBelow(home, real))
        return refuse("it is your home folder or contains it");
    FolderTree::OpenFolder top;
    if (!top.Open(real, &DeleteFolderTreeFailure))
        return failed();

    std::string marker;
    const bool owned =
        top.ReadFile(FolderOwnership::MarkerName, 64, marker) &&
        FolderOwnership::Proves(marker,
                                GetSetting(SettingsApplication, SettingsSection, SettingFolderId));
    std::vector<std::string> kept;
    if (owned) {
        // The marker goes last, so that a removal that stops halfway leaves
        // the folder provably ours for the next try.
        top.OwnsModes = true;
        const std::vector<std::string> marked{FolderOwnership::MarkerName};
        if (!top.RemoveContents(marked, kept, &DeleteFolderTreeFailure) ||
            top.RemoveEntry(FolderOwnership::MarkerName, &DeleteFolderTreeFailure) ==
                FolderTree::OpenFolder::Outcome::Failed)
            return failed();
    } else {
        std::string list;
        if (!top.ReadFile(ReleaseListName, 1, list))
            return refuse("it is not an Ostrak installation (there is no file dta.lst in it)");
        for (const std::string& name : PlacedNames(top))
            if (top.RemoveEntry(name, &DeleteFolderTreeFailure) ==
                FolderTree::OpenFolder::Outcome::Failed)
                return failed();
        std::vector<std::string> left;
        if (!top.ListNames(left, &DeleteFolderTreeFailure))
            return failed();
        for (const std::string& name : left)
            kept.push_back(Files::JoinPath(real, name));
    }
    if (!kept.empty()) {
        DeleteFolderTreeKept.push_back(real);
        DeleteFolderTreeKept.insert(DeleteFolderTreeKept.end(), kept.begin(), kept.end());
        return 0;
    }
    // A link to the installation: the link goes and the folder it leads to
    // stays (empty); the link alone, never what stands at its place should it
    // have been replaced by a folder.
    std::string parent;
    FolderTree::OpenFolder holder;
    const bool isLink = Files::RealPath(Files::ParentFolder(folder), parent) &&
                        Files::JoinPath(parent, Files::BaseName(folder)) != real;
    if (!isLink)
        return top.RemoveSelf(&DeleteFolderTreeFailure) ? 0 : failed();
    if (holder.Open(parent, &DeleteFolderTreeFailure) &&
        holder.RemoveEntry(Files::BaseName(folder), &DeleteFolderTreeFailure) !=
            FolderTree::OpenFolder::Outcome::Failed)
        return 0;
    return failed();
}

} // namespace ostrak
