#include "installer/ReleaseSerial.h"

#include "installer/frmSplash.h"
#include "platform/Settings.h"
#include "signature/ReleaseManifest.h"

namespace ostrak {

namespace {

// Never a stored value: the settings store keeps no control character.
const std::string Absent = "\x01";

} // namespace

StoredSerial LoadInstalledSerial(uint64_t& serial, std::string& text) {
    text =
        GetSetting(frmSplash::SettingsApplication, ReleaseSerialSection, ReleaseSerialKey, Absent);
    if (text == Absent)
        text = GetSetting(frmSplash::SettingsApplication, frmSplash::SettingsSection,
                          ReleaseSerialKey, Absent);
    serial = 0;
    if (text == Absent) {
        text.clear();
        return StoredSerial::Nothing;
    }
    return ParsePlainNumber(text, serial) ? StoredSerial::Read : StoredSerial::Malformed;
}

bool StoreInstalledSerial(uint64_t serial) {
    return SaveSetting(frmSplash::SettingsApplication, ReleaseSerialSection, ReleaseSerialKey,
                       std::to_string(serial));
}

} // namespace ostrak
