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
  ostrak_release --version
)";

// The short help; the rules for files, names and signing are in the manual
// page.
const char* const HelpText = R"(
Publishes SOURCE_DIR as OUT_DIR/crc/, the tree the game's web server serves.

Options:
  --seed N             mask the list with seed byte N (1 to 255), not at random
  --sign KEYFILE       sign the release with the private key in KEYFILE
  --resign OUT_DIR     sign the tree published in OUT_DIR again
  --keygen KEYFILE     make a key pair; the public key goes to standard output
  --ask-passphrase     with --keygen: encrypt the key, asking on the terminal
  --dump LIST          print a release list
Signing options:
  --expires-days N     the release expires N days (1 to 3650) after signing
  --channel NAME       the release channel (default: the one built in)
  --passphrase-file F  the key's passphrase is the first line of F

Exit status: 0 done, 1 refused or failed (nothing written), 2 wrong usage.
Files, names and signing in detail: man ostrak_release
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
        } else if (a == "--version") {
            std::cout << "ostrak_release " << OSTRAK_TOOL_VERSION << '\n';
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
        const std::string publicKey = MakeSigningKey(keygen, passphrase);
        // The line alone goes to standard output, for scripts.
        std::cerr << "ostrak_release: the public key, for the installer's build "
                     "(-DOSTRAK_RELEASE_KEY=...):\n";
        std::cout << publicKey << '\n';
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
