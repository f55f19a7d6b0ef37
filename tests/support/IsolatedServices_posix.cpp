#include "support/IsolatedServices.h"

#include "platform/Files.h"
#include "platform/Settings.h"

#include <sys/stat.h>

namespace ostrak {

// The settings files go into a folder of the test's, the instance lock into
// a runtime folder of its own.
IsolatedServices::IsolatedServices() {
    ::mkdir(Folder_.File("config").c_str(), 0700);
    ::mkdir(Folder_.File("runtime").c_str(), 0700);
    SetSettingsFolder(Folder_.File("config"));
    Env_.Set("XDG_RUNTIME_DIR", Folder_.File("runtime"));
}

IsolatedServices::~IsolatedServices() {
    SetSettingsFolder("");
}

bool IsolatedServices::SettingsStored(const std::string& application) const {
    return Files::Exists(SettingsFilePath(application));
}

} // namespace ostrak
