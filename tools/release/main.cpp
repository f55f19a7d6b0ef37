// ostrak_release: the publisher's tool. Turns a folder of game files into the
// tree the game's web server serves (crc/index.php, crc/dta.lst, crc/<file>),
// and prints release lists.
#include "Dump.h"
#include "Printable.h"
#include "Publish.h"
#include "Signing.h"
#include "ToolError.h"
#include "platform/TerminationCleanup.h"
#include "signature/ReleaseConfig.h"
#include "signature/ReleaseManifest.h"

#include <iostream>
#include <random>
#include <string>
#include <vector>

using namespace ostrak;

namespace {

const char* const UsageText = R"(Usage:
  ostrak_release SOURCE_DIR OUT_DIR [--seed N]
  ostrak_release SOURCE_DIR OUT_DIR [--seed N] --sign KEYFILE [SIGNING OPTIONS]
  ostrak_release --resign OUT_DIR --sign KEYFILE [SIGNING OPTIONS]
  ostrak_release --keygen KEYFILE [--passphrase-file F | --ask-passphrase]
  ostrak_release --dump LIST
  ostrak_release --help
)";

const char* const HelpText = R"(
Publishes a release of Ostrak for the game's web server.

SOURCE_DIR holds the files of the release side by side, without subfolders:
ostrak.exe, the game files, and the support libraries CGZipLibrary.dll,
gdiplus.dll and Unzip32.dll (all four required, by these exact names). Empty
files are refused: the installer cannot verify them. A file that changes
while it is copied is refused: publish again once it is complete.

Writes OUT_DIR/crc/ (OUT_DIR is created when missing; its parent must exist;
it must not be SOURCE_DIR or lie inside it):
  crc/<file>     a copy of every file of SOURCE_DIR
  crc/index.php  the version text: the checksum of ostrak.exe (its CRC-32 as
                 a signed decimal number, without a newline)
  crc/dta.lst    the release list: every file except ostrak.exe, dta.lst and
                 the three support libraries, with its checksum, in byte
                 order of the names. Installed copies fetch it on every run,
                 so a release that changes only data files reaches them too;
                 should its checksum text equal the version text by chance,
                 one byte is appended (the installer ignores it)
Serve OUT_DIR as the web server's document root: the installer asks for
/crc/index.php?h=3, /crc/dta.lst and /crc/<file>. The new tree is built
beside OUT_DIR (on the same file system, outside what is served) under a
hidden name starting with ".ostrak-part-", and replaces an earlier
OUT_DIR/crc only once it is complete. When anything is refused, or the tool
is stopped by Ctrl+C, SIGTERM or SIGHUP, nothing is written and the new tree
is removed; a tree left by a killed run is removed by a later run.

File names must work as plain file names on the player's machine, Linux or
Windows, and in the installer's requests: at most 255 bytes, not "." or
"..", no "/", "\", control characters, spaces, "%", "?", "#", ":", "*",
'"', "<", ">" or "|", not ending in a dot, not a Windows device name (CON,
PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with or without an extension, in
any case), and no two names that differ only in letter case. Subfolders,
symbolic links and special files are refused. A dta.lst or index.php in
SOURCE_DIR is not copied (new ones are written), even when empty. Files
whose name contains "music" are fetched only by players who chose the
optional music.

Names are printed with every byte that is not printable ASCII (and every
backslash) shown as \xNN.

Signed releases: an installer built with the publisher's public keys takes
only releases signed with one of their private keys. --keygen KEYFILE makes a
key pair: the private key goes to KEYFILE (PEM, readable by its owner only;
an existing file is never overwritten), encrypted with a passphrase when
--passphrase-file or --ask-passphrase is given, and the public key is printed
as one base64 line, for the installer's build (cmake -DOSTRAK_RELEASE_KEY=...,
or up to four keys, comma-separated, in -DOSTRAK_RELEASE_KEYS=...). With
--sign KEYFILE the tree also gets
  crc/release.manifest  the format line "ostrak-release-manifest 2", a line
                        "serial N" (seconds since the epoch, always above
                        the serial of the release it replaces), "expires T"
                        (seconds since the epoch; installers refuse the
                        release from then on), "product ostrak CHANNEL",
                        "key F" (the signing key's fingerprint), then one
                        line per served file: SHA-256 in hex, size, name
  crc/release.sig       the Ed25519 signature of the manifest, in base64
both inside the same swap as the rest of the tree. A release.manifest or
release.sig in SOURCE_DIR is then not copied. A key file that group or
others may read is refused; an encrypted one asks for its passphrase on the
terminal unless --passphrase-file gives it. --resign OUT_DIR signs the tree
already published there again, with a new serial and expiry, without its
source: every file must still match its manifest; the new tree replaces the
old one in the same swap as publishing. Re-sign before the expiry comes.

Options:
  --sign KEYFILE  sign the release with the private key in KEYFILE
  --resign OUT_DIR  sign the tree published in OUT_DIR again (see above)
  --expires-days N  signed releases expire N days (1 to 3650) after
                signing; default 30
  --channel NAME  the channel in the product line (a-z, 0-9, -); default
                the channel this tool was built for
  --keygen KEYFILE  make a new key pair (see above)
  --passphrase-file F  the key's passphrase is the first line of F
  --ask-passphrase  encrypt the new key with a passphrase asked on the
                terminal
  --seed N      mask the list with seed byte N (1 to 255) instead of a
                random one; the same files and seed give the same list
  --dump LIST   print a release list: its seed, its count, and one line per
                entry with the checksum and the name
  --help        show this text

Exit status: 0 done, 1 refused or failed (nothing written), 2 wrong usage.
)";

constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;

class UsageError : public ToolError {
    using ToolError::ToolError;
};

uint8_t ParseSeed(const std::string& text) {
    bool digits = !text.empty() && text.size() <= 3;
    for (char c : text)
        digits = digits && c >= '0' && c <= '9';
    const int value = digits ? std::stoi(text) : 0;
    if (value < 1 || value > 255)
        throw UsageError("--seed: expected a whole number from 1 to 255, got \"" + text + "\"");
    return static_cast<uint8_t>(value);
}

int ParseDays(const std::string& text) {
    uint64_t value = 0;
    if (!ParsePlainNumber(text, value) || value < 1 || value > MaxExpiresDays)
        throw UsageError("--expires-days: expected a whole number from 1 to " +
                         std::to_string(MaxExpiresDays) + ", got \"" + text + "\"");
    return static_cast<int>(value);
}

std::string ParseChannel(const std::string& text) {
    if (!IsChannelName(text))
        throw UsageError("--channel: expected 1 to 32 of a-z, 0-9 and -, got \"" + text + "\"");
    return text;
}

uint8_t RandomSeed() {
    std::random_device random;
    return static_cast<uint8_t>(std::uniform_int_distribution<int>(1, 255)(random));
}

int Run(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << UsageText << "(--help explains them)\n";
        return ExitUsage;
    }
    std::vector<std::string> positional;
    std::string dump, signKey, keygen, resign;
    bool dumpGiven = false, signGiven = false, keygenGiven = false, resignGiven = false;
    bool signingOptions = false;
    PassphraseSource passphrase;
    int seed = -1;
    PublishOptions options;
    options.Channel = OSTRAK_BUILTIN_RELEASE_CHANNEL;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* option) {
            if (i + 1 >= args.size())
                throw UsageError(std::string(option) + ": needs a value");
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            std::cout << UsageText << HelpText;
            return 0;
        } else if (a == "--seed") {
            seed = ParseSeed(value("--seed"));
        } else if (a.rfind("--seed=", 0) == 0) {
            seed = ParseSeed(a.substr(7));
        } else if (a == "--sign") {
            signKey = value("--sign");
            signGiven = true;
        } else if (a == "--resign") {
            resign = value("--resign");
            resignGiven = true;
        } else if (a == "--expires-days") {
            options.ExpiresDays = ParseDays(value("--expires-days"));
            signingOptions = true;
        } else if (a == "--channel") {
            options.Channel = ParseChannel(value("--channel"));
            signingOptions = true;
        } else if (a == "--passphrase-file") {
            passphrase.File = value("--passphrase-file");
        } else if (a == "--ask-passphrase") {
            passphrase.Ask = true;
        } else if (a == "--keygen") {
            keygen = value("--keygen");
            keygenGiven = true;
        } else if (a == "--dump") {
            dump = value("--dump");
            dumpGiven = true;
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError(a + ": unknown option (see --help)");
        } else {
            positional.push_back(a);
        }
    }
    if (keygenGiven) {
        if (!positional.empty() || seed >= 0 || dumpGiven || signGiven || resignGiven ||
            signingOptions || (passphrase.Ask && !passphrase.File.empty()))
            throw UsageError("--keygen takes only the key file to make and one passphrase "
                             "option (see --help)");
        std::cout << MakeSigningKey(keygen, passphrase) << '\n';
        return 0;
    }
    if (passphrase.Ask)
        throw UsageError("--ask-passphrase goes with --keygen (an encrypted key asks by itself)");
    if (dumpGiven) {
        if (!positional.empty() || seed >= 0 || signGiven || resignGiven || signingOptions ||
            !passphrase.File.empty())
            throw UsageError("--dump takes only the list to print (see --help)");
        DumpList(dump, std::cout);
        return 0;
    }
    if ((signingOptions || !passphrase.File.empty()) && !signGiven)
        throw UsageError("--expires-days, --channel and --passphrase-file go with --sign");
    if (resignGiven) {
        if (!positional.empty() || seed >= 0 || !signGiven)
            throw UsageError("--resign takes OUT_DIR and --sign KEYFILE (see --help)");
        options.OutDir = resign;
        options.SigningKeyPem = ReadSigningKey(signKey, passphrase);
        Resign(options, std::cout);
        return 0;
    }
    if (positional.size() != 2)
        throw UsageError("expected SOURCE_DIR and OUT_DIR (see --help)");
    options.SourceDir = positional[0];
    options.OutDir = positional[1];
    options.Seed = seed >= 0 ? static_cast<uint8_t>(seed) : RandomSeed();
    if (signGiven)
        options.SigningKeyPem = ReadSigningKey(signKey, passphrase);
    Publish(options, std::cout, std::cerr);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Files::RemoveTemporariesOnTermination();
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "ostrak_release: " << Printable(e.what()) << '\n';
        return ExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "ostrak_release: " << Printable(e.what()) << '\n';
        return ExitRefused;
    }
}
