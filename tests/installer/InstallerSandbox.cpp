#include "InstallerSandbox.h"

#include "checksum/Crc32.h"
#include "installer/frmSplash.h"
#include "platform/SingleInstance.h"
#include "runtime/Program.h"

namespace ostrak {

// The register is run back from the wanted value through four steps, which
// is what the forger needs to know about CRC-32.
std::string WithCrcOf(const std::string& bytes, const std::string& original) {
    uint32_t table[256];
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    uint32_t reg = Crc32Update(0xFFFFFFFFu, original.data(), original.size());
    for (int step = 0; step < 4; ++step) {
        uint32_t index = 0;
        while (table[index] >> 24 != reg >> 24)
            ++index;
        reg = ((reg ^ table[index]) << 8) | index;
    }
    const uint32_t tail = reg ^ Crc32Update(0xFFFFFFFFu, bytes.data(), bytes.size());
    std::string forged = bytes;
    for (int k = 0; k < 4; ++k)
        forged.push_back(static_cast<char>(tail >> (8 * k)));
    return forged;
}

void InstallerSandbox::SetUp() {
    Services_ = std::make_unique<IsolatedServices>();
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
    Services_.reset();
}

bool InstallerSandbox::SettingsStored() const {
    return Services_->SettingsStored(frmSplash::SettingsApplication);
}

} // namespace ostrak
