#pragma once
// A fixture for the installer window: each test gets its own settings store
// and instance lock (so tests of this binary may run side by side), the
// scripted dialogs and view, and an end-program hook that records instead of
// ending.
#include "support/IsolatedServices.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedSplashView.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace ostrak {

// bytes followed by the four bytes that give the whole the CRC-32 of
// original (how a file is made to pass a CRC-32 check).
std::string WithCrcOf(const std::string& bytes, const std::string& original);

class InstallerSandbox : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Installs the recording end hook again: after a recorded end the program
    // counts as ended (waits return at once) until then.
    void RearmProgramEnd();

    // Whether anything of the installer's settings is stored.
    bool SettingsStored() const;

    TempDir Sandbox;
    ScriptedDialogs Dialogs;
    ScriptedSplashView View;
    int EndCount = 0;
    int EndCode = -1;

private:
    std::unique_ptr<IsolatedServices> Services_;
};

} // namespace ostrak
