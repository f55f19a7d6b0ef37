#pragma once
// Per-user services of a test's own, so that the tests of one program may run
// side by side: the settings store, the single-instance lock and the user's
// runtime folder. Everything is as before once the object goes.
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <string>

namespace ostrak {

class IsolatedServices {
public:
    IsolatedServices();
    ~IsolatedServices();
    IsolatedServices(const IsolatedServices&) = delete;
    IsolatedServices& operator=(const IsolatedServices&) = delete;

    // Whether anything of application's settings is stored (its file, its key).
    bool SettingsStored(const std::string& application) const;

private:
    TempDir Folder_;
    ScopedEnv Env_;
    std::string Root_;
};

} // namespace ostrak
