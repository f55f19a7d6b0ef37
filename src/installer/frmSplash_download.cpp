// frmSplash: the verified download. Every file of an install passes through
// VerifyLocalFile (is the copy on disk right?) and DownloadFile (fetch it when
// it is missing), one at a time, inside the install action.
#include "installer/frmSplash.h"

#include "checksum/FileChunks.h"
#include "checksum/clsCRC.h"
#include "filelist/FileName.h"
#include "http/FrmConnect.h"
#include "http/RequestPath.h"
#include "http/StallRule.h"
#include "installer/ModSkins.h"
#include "platform/AnsiText.h"
#include "platform/EventLoop.h"
#include "platform/Files.h"
#include "platform/SystemFolder.h"
#include "platform/TickCount.h"
#include "runtime/Program.h"
#include "signature/BodyDigest.h"
#include "signature/Sha256.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ostrak {

namespace {

std::string LocalChecksumText(const std::string& path) {
    clsCRC crc;
    crc.Algorithm(clsCRC::CRC32);
    return ChecksumText(crc.CalculateFile(path));
}

// The file's name within its folder.
std::string NameOf(const std::string& path) {
    return path.substr(path.rfind(Files::Separator()) + 1);
}

// Whether the file at path has entry's size and SHA-256 and, unless
// expected is null, the checksum text *expected: one read for both digests.
bool MatchesSigned(const std::string& path, const ManifestEntry* entry,
                   const std::string* expected) {
    if (!entry)
        return false;
    clsCRC crc;
    crc.Algorithm(clsCRC::CRC32);
    Sha256 sha;
    const auto length = ReadFileChunks(path, [&](const uint8_t* data, size_t n) {
        if (expected)
            crc.AddBytes(std::span<const uint8_t>(data, n));
        sha.Update(data, n);
    });
    if (!length || *length != static_cast<uint64_t>(entry->Size) ||
        Sha256::Hex(sha.Final()) != entry->Sha256Hex)
        return false;
    // An empty file has no checksum, as CalculateFile gives it.
    return !expected || ChecksumText(*length == 0 ? CrcResult() : crc.Value()) == *expected;
}

// Deletes a wrong file; when that fails, gives the owner write permission on
// the file and on the folder it is in (through any links to the folder) and
// tries once more.
bool RemoveWrongFile(const std::string& path) {
    if (Files::RemoveFile(path))
        return true;
    Files::MakeWritable(path);
    std::string folder;
    if (Files::RealPath(Files::ParentFolder(path), folder))
        Files::MakeWritable(folder);
    return Files::RemoveFile(path);
}

// p * 100 rounded to a whole number, halves to the even neighbour.
std::string PercentText(double p) {
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", std::nearbyint(p * 100.0));
    return text;
}

// Names of Windows programs (made executable once stored): "*.exe", any case.
bool IsWindowsProgramName(const std::string& name) {
    if (name.size() < 4)
        return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext == ".exe";
}

// How one attempt of DownloadFile ended.
enum class Attempt { Stored, Failed, Stalled, Ended };

} // namespace

void frmSplash::ShowStepProgress(int16_t step, double part) {
    SetBarFraction((step + part) / TotalSteps);
}

VbBool frmSplash::VerifyLocalFile(const std::string& path, const std::string& expected) {
    if (Files::Dir(path).empty())
        return VbFalse;
    if (Manifest_ ? MatchesSigned(path, Manifest_->Find(NameOf(path)), &expected)
                  : LocalChecksumText(path) == expected) {
        WrongFilesKept_.erase(path);
        return VbTrue;
    }
    if (RemoveWrongFile(path))
        WrongFilesKept_.erase(path);
    else
        WrongFilesKept_.insert(path);
    return VbFalse;
}

frmSplash::FileCheck frmSplash::HasChecksum(std::string expected) {
    return [expected = std::move(expected)](const std::string&, const std::string& checksum) {
        return checksum == expected;
    };
}

VbBool frmSplash::DownloadFile(const std::string& name, int16_t step, const std::string& folder,
                               const FileCheck& check) {
    const std::string shown = AnsiToDisplay(name);
    if (!IsSafeFileName(name)) {
        SetFileText("Failure (", shown, ")!");
        DoEvents();
        return VbFalse;
    }
    const std::string path = Files::JoinPath(folder, name);
    if (Files::Dir(path) == name && WrongFilesKept_.count(path) == 0 &&
        (!Manifest_ || MatchesSigned(path, Manifest_->Find(name), nullptr))) {
        SetFileText("File OK");
        ShowStepProgress(step, 1);
        DoEvents();
        return VbTrue;
    }
    if (Manifest_) {
        const ManifestEntry* entry = Manifest_->Find(name);
        if (!entry) {
            SetFileText("Failure (", shown, ")!");
            DoEvents();
            return VbFalse;
        }
        Digest_->Expect(*entry);
    }
    LoadConnectForm();
    ConnectForm->SetBodyObserver(Manifest_ ? Digest_.get() : nullptr);

    VbBool result = VbFalse;
    int16_t retries = 0;
    bool pauseFirst = false;
    for (;;) {
        if (pauseFirst)
            ModSkins::Pause(FailedAttemptPauseMs);
        if (ProgramEnded())
            return VbFalse;
        FrmConnect& client = *ConnectForm;
        double last = -1;
        const int32_t connectFailures = client.ConnectFailures;
        client.RetrieveFile(ServerHost, "/crc/" + EncodeFileName(name), path);
        uint32_t stallStart = TickCount();
        StallRule::RateWatch rate;
        rate.Start(stallStart, client.ReceivedBytes());
        Attempt attempt;
        for (;;) {
            if (ProgramEnded()) {
                attempt = Attempt::Ended;
                break;
            }
            if (IsTrue(client.DownDone)) {
                attempt = Attempt::Stored;
                break;
            }
            // A connection refused or not made fails the attempt at once.
            if (IsTrue(client.DownFailed) || client.ConnectFailures != connectFailures) {
                attempt = Attempt::Failed;
                break;
            }
            // Wait for the next event, or until the stall or the end of the
            // rate's window would be reached.
            const uint32_t elapsed = ElapsedTicks(stallStart, TickCount());
            WaitForEvents(std::min<uint32_t>(
                elapsed > StallRule::StallMs ? 0 : StallRule::StallMs + 1 - elapsed,
                rate.MsLeft(TickCount()) + 1));
            if (ProgramEnded()) {
                attempt = Attempt::Ended;
                break;
            }
            const double p = client.DownPerc;
            if (p != last) {
                stallStart = TickCount();
                SetFileText("Downloading ", shown, ", " + PercentText(p) + "%...");
                ShowStepProgress(step, p);
                last = client.DownPerc;
            } else if (StallRule::Stalled(stallStart, TickCount())) {
                attempt = Attempt::Stalled;
                break;
            }
            if (rate.TooSlow(TickCount(), client.ReceivedBytes())) {
                attempt = Attempt::Stalled;
                break;
            }
        }
        if (attempt == Attempt::Ended)
            return VbFalse;
        if (attempt == Attempt::Stored) {
            if (!check || check(path, client.StoredChecksum())) {
                if (IsWindowsProgramName(name))
                    Files::MakeExecutable(path);
                WrongFilesKept_.erase(path);
                SetFileText("Download of ", shown, " done!");
                ShowStepProgress(step, 1);
                result = VbTrue;
                break;
            }
            // The server sent something that fails the check: it must not
            // stay in place.
            RemoveWrongFile(path);
        }
        // The attempt given up on is abandoned whatever follows: an answer
        // still streaming in must not be stored later, once the action has
        // moved on or failed.
        client.CloseConnections();
        // No retry fills a full disk.
        if (attempt == Attempt::Failed && IsTrue(client.DownFailed) && IsTrue(client.DiskFull)) {
            DiskFull_ = true;
            SetFileText("Failure (", shown, ")!");
            break;
        }
        ++retries;
        if (retries > StallRule::MaxRetries) {
            SetFileText("Failure (", shown, ")!");
            break;
        }
        SetFileText("Failure (", shown, "), retrying... (" + std::to_string(retries) + ")");
        pauseFirst = attempt == Attempt::Failed;
    }
    DoEvents();
    return result;
}

std::string frmSplash::GetSystemFolder() {
    return SystemFolder();
}

} // namespace ostrak
