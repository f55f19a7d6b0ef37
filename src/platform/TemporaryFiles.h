#pragma once
// Temporary files and folders of ours: how they are named, the folder kind
// that cleans up after itself, and the sweep of those an ended run left
// behind. A temporary name never grows with the name of what it stands in
// for, so a target name of up to the system's 255 bytes always has one.
// Errors follow Files.h (the error record in *failure).
#include "runtime/ErrorRecord.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace ostrak {

namespace Files {

// Every temporary name of ours: this prefix and TemporarySuffixLength ASCII
// letters or digits, 19 bytes in all.
inline constexpr char TemporaryPrefix[] = ".ostrak-part-";
inline constexpr size_t TemporarySuffixLength = 6;

// Whether name (a name, not a path) has the form of our temporary names.
bool IsTemporaryName(const std::string& name);
// A temporary name with a random suffix; it may exist already, so create it
// exclusively and draw again when it does.
std::string NewTemporaryName();

// A new entry under a fresh temporary name in folder: make(path) creates it
// exclusively and returns true, or false with errno set (EEXIST draws another
// name). The path is registered for removal on termination before it is
// created, so that a signal (on any thread) never finds it made but not yet
// registered. Code is 0 on success, else the errno of the last attempt.
struct NewTemporary {
    std::string Path;
    int Registration = -1;
    int Code = 0;
};
NewTemporary CreateTemporary(const std::string& folder, bool isFolder,
                             const std::function<bool(const std::string& path)>& make);

// A folder with a temporary name, created in a parent folder. The object
// removes it with everything in it when it goes (unless it was kept), and
// so does a signal that ends the program once the program has called
// RemoveTemporariesOnTermination (TerminationCleanup.h). One thread.
class TemporaryFolder {
public:
    TemporaryFolder() = default;
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    // Creates the folder (mode 0777 less the umask) inside parent.
    bool Create(const std::string& parent, ErrorRecord* failure = nullptr);
    // Removes the folder and what it holds now.
    bool Remove(ErrorRecord* failure = nullptr);
    // The folder is no longer ours to remove (it was renamed away).
    void Keep();
    const std::string& Path() const { return Path_; }

private:
    std::string Path_;
    int Registration_ = -1;
};

// Seconds without a change after which a temporary file or folder of ours
// counts as left behind by a run that ended: a live transfer or publish
// writes far more often than this.
inline constexpr int64_t StaleAfterSeconds = 60;

// Removes the temporary files and folders of ours directly in folder that
// have not changed for more than StaleAfterSeconds (a folder counts as
// changed when it or anything directly in it changed). Nothing else is
// touched: other names, links, and ours that are still fresh stay. Returns
// how many were removed, -1 when folder cannot be read.
int RemoveStaleTemporaries(const std::string& folder, ErrorRecord* failure = nullptr);
// The same, judged at nowSeconds (seconds since 1970).
int RemoveStaleTemporaries(const std::string& folder, int64_t nowSeconds,
                           ErrorRecord* failure = nullptr);

} // namespace Files

} // namespace ostrak
