#pragma once
// Internal to the libgcrypt backend: the library initialised once per
// process, before its first use on any thread.
#include <gcrypt.h>

namespace ostrak {

inline void InitGcrypt() {
    static const bool ready = [] {
        gcry_check_version(nullptr);
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    (void)ready;
}

} // namespace ostrak
