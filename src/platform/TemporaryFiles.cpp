#include "platform/TemporaryFiles.h"

#include "platform/FileTimes.h"
#include "platform/Files.h"
#include "platform/PosixError.h"
#include "platform/TerminationCleanup.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

namespace ostrak {

namespace Files {

namespace {

constexpr char SuffixLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr size_t PrefixLength = sizeof TemporaryPrefix - 1;
constexpr int NameAttempts = 100;

bool IsSuffixLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool ModifiedAt(const std::string& path, int64_t& seconds) {
    return ModifiedSeconds(path, seconds);
}

// When a temporary folder last changed: its own entries or any file directly
// in it (a file being written changes without its folder).
bool FolderModifiedAt(const std::string& path, int64_t& seconds) {
    if (!ModifiedAt(path, seconds))
        return false;
    std::vector<DirEntry> entries;
    if (!ListDirectory(path, entries))
        return false;
    for (const DirEntry& e : entries) {
        int64_t inner = 0;
        if (ModifiedAt(JoinPath(path, e.Name), inner))
            seconds = std::max(seconds, inner);
    }
    return true;
}

} // namespace

bool IsTemporaryName(const std::string& name) {
    return name.size() == PrefixLength + TemporarySuffixLength &&
           name.compare(0, PrefixLength, TemporaryPrefix) == 0 &&
           std::all_of(name.begin() + PrefixLength, name.end(), IsSuffixLetter);
}

std::string NewTemporaryName() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof SuffixLetters - 2);
    std::string name = TemporaryPrefix;
    for (size_t i = 0; i < TemporarySuffixLength; ++i)
        name += SuffixLetters[pick(random)];
    return name;
}

NewTemporary CreateTemporary(const std::string& folder, bool isFolder,
                             const std::function<bool(const std::string& path)>& make) {
    NewTemporary made;
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        made.Path = JoinPath(folder, NewTemporaryName());
        made.Registration = RegisterTemporaryPath(made.Path, isFolder);
        if (make(made.Path)) {
            made.Code = 0;
            return made;
        }
        made.Code = errno;
        ReleaseTemporaryPath(made.Registration);
        made.Registration = -1;
        if (made.Code != EEXIST)
            break;
    }
    made.Path.clear();
    return made;
}

TemporaryFolder::~TemporaryFolder() {
    Remove();
}

bool TemporaryFolder::Create(const std::string& parent, ErrorRecord* failure) {
    Remove();
    const NewTemporary made = CreateTemporary(parent, true, [](const std::string& path) {
        ErrorRecord why;
        if (MakeDirectory(path, &why))
            return true;
        errno = why.Number;
        return false;
    });
    if (made.Code != 0)
        return ReportFailure(failure, "TemporaryFolder.Create", parent, made.Code);
    Path_ = made.Path;
    Registration_ = made.Registration;
    return true;
}

bool TemporaryFolder::Remove(ErrorRecord* failure) {
    if (Path_.empty())
        return true;
    const bool removed =
        RemoveTree(Path_, failure) || PassOnFailureAs(failure, "TemporaryFolder.Remove");
    Keep();
    return removed;
}

void TemporaryFolder::Keep() {
    ReleaseTemporaryPath(Registration_);
    Registration_ = -1;
    Path_.clear();
}

int RemoveStaleTemporaries(const std::string& folder, ErrorRecord* failure) {
    return RemoveStaleTemporaries(folder, static_cast<int64_t>(std::time(nullptr)), failure);
}

int RemoveStaleTemporaries(const std::string& folder, int64_t nowSeconds, ErrorRecord* failure) {
    std::vector<DirEntry> entries;
    if (!ListDirectory(folder, entries, failure))
        return PassOnFailureAs(failure, "Files.RemoveStaleTemporaries"), -1;
    int removed = 0;
    for (const DirEntry& e : entries) {
        if (!IsTemporaryName(e.Name) || e.IsSymlink || (!e.IsRegular && !e.IsDirectory))
            continue;
        const std::string path = JoinPath(folder, e.Name);
        int64_t changed = 0;
        const bool known =
            e.IsDirectory ? FolderModifiedAt(path, changed) : ModifiedAt(path, changed);
        if (!known || nowSeconds - changed <= StaleAfterSeconds)
            continue;
        if (RemoveTree(path))
            ++removed;
    }
    return removed;
}

} // namespace Files

} // namespace ostrak
