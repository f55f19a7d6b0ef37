#pragma once
// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
#include "platform/Files.h"

#include <string>

namespace ostrak {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return Path_; }
    // Path of a name inside the folder.
    std::string File(const std::string& name) const { return Files::JoinPath(Path_, name); }
    // Writes bytes to a file inside the folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;
    // Reads a whole file; throws when it cannot.
    static std::string Read(const std::string& path);

private:
    std::string Path_;
};

} // namespace ostrak
