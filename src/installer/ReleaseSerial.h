#pragma once
// Where the serial of the last signed release installed is kept. Every read
// and write of it goes through these two calls, so that its place can move
// without the install flow knowing.
//
// It lives in application "Ostrak", section "Release", key "Serial", apart
// from "GUI Settings", which uninstall removes: removing the game must not
// lower it, or an older signed release could be installed afterwards. An
// install made before it moved keeps it in "GUI Settings", key "Serial";
// that is read when "Release" holds none. UI thread (the settings store).
#include <cstdint>
#include <string>

namespace ostrak {

inline constexpr const char* ReleaseSerialSection = "Release";
inline constexpr const char* ReleaseSerialKey = "Serial";

// What LoadInstalledSerial found.
enum class StoredSerial {
    Nothing,   // nothing stored: serial is 0
    Read,      // serial holds it
    Malformed, // the stored text is not a plain decimal number (see text)
};

// The stored serial; text gets what is stored, as stored.
StoredSerial LoadInstalledSerial(uint64_t& serial, std::string& text);
// Stores serial in "Release"; false when the store could not be written.
bool StoreInstalledSerial(uint64_t serial);

} // namespace ostrak
