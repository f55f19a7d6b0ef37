#include "InstallerSandbox.h"

#include "installer/frmSplash.h"
#include "platform/Settings.h"
#include "platform/SingleInstance.h"
#include "runtime/Program.h"

#include <cstdlib>
#include <sys/stat.h>

namespace ostrak {

void InstallerSandbox::SetUp() {
    ::mkdir(Sandbox.File("config").c_str(), 0700);
    ::mkdir(Sandbox.File("runtime").c_str(), 0700);
    SetSettingsFolder(Sandbox.File("config"));
    if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
        SavedRuntimeDir_ = old;
    setenv("XDG_RUNTIME_DIR", Sandbox.File("runtime").c_str(), 1);
    RearmProgramEnd();
}

void InstallerSandbox::RearmProgramEnd() {
    SetEndProgramHook([this](int code) {
        ++EndCount;
        EndCode = code;
    });
}

void InstallerSandbox::TearDown() {
    ReleaseInstanceLock();
    SetEndProgramHook(nullptr);
    SetSettingsFolder("");
    if (SavedRuntimeDir_)
        setenv("XDG_RUNTIME_DIR", SavedRuntimeDir_->c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}

std::string InstallerSandbox::SettingsFile() const {
    return SettingsFilePath(frmSplash::SettingsApplication);
}

} // namespace ostrak
