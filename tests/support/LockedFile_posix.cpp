#include "support/LockedFile.h"

#include "support/Subprocess.h"

namespace ostrak {

LockedFile::LockedFile(std::string path) : Path_(std::move(path)) {
    Locked_ = RunProcess({"/usr/bin/chattr", "+i", Path_}).ExitCode == 0;
}

void LockedFile::Release() {
    if (Locked_)
        RunProcess({"/usr/bin/chattr", "-i", Path_});
    Locked_ = false;
    Handle_ = nullptr; // no handle is held here
}

} // namespace ostrak
