#include "Publish.h"

#include "Printable.h"
#include "ReleaseTree.h"
#include "Signing.h"
#include "ToolError.h"
#include "VerifiedCopy.h"
#include "WindowsNames.h"
#include "checksum/clsCRC.h"
#include "filelist/FileListWriter.h"
#include "filelist/FileName.h"
#include "platform/Files.h"
#include "platform/TemporaryFiles.h"
#include "platform/WallClock.h"
#include "signature/ReleaseManifest.h"

#include <algorithm>
#include <array>
#include <map>
#include <ostream>
#include <vector>

namespace ostrak {

namespace {

const std::string GameExe = "ostrak.exe";
const std::string ListName = "dta.lst";
const std::string VersionPage = "index.php";
// Placed by the installer itself; never listed.
const std::array<std::string, 3> SupportLibraries = {"CGZipLibrary.dll", "gdiplus.dll",
                                                     "Unzip32.dll"};

// The reader refuses these as entries too (filelist/FileName.h).
bool IsListed(const std::string& name) {
    return !IsFixedFileName(name);
}

// The installer asks for "/crc/" + name with the name's bytes as they are: a
// space would break its request line, and "%", "?" and "#" mean something
// else in a URL.
char UrlBreakingChar(const std::string& name) {
    for (char c : name)
        if (c == ' ' || c == '%' || c == '?' || c == '#')
            return c;
    return 0;
}

// Refuses a name that the installer could not request or store, on Linux or
// on Windows.
void CheckName(const std::string& path, const std::string& name) {
    if (name.size() > 255)
        throw ToolError(path + ": name of " + std::to_string(name.size()) + " bytes; at most 255");
    if (!IsSafeFileName(name))
        throw ToolError(path + ": name holds a control character or backslash");
    if (char c = UrlBreakingChar(name))
        throw ToolError(path + ": name holds " +
                        (c == ' ' ? std::string("a space") : "\"" + std::string(1, c) + "\"") +
                        ", which the installer cannot request");
    const std::string problem = WindowsNameProblem(name);
    if (!problem.empty())
        throw ToolError(path + ": name " + problem);
}

// Two names that differ only in letter case are one file on Windows; the
// list and the version page this tool writes count as well.
void CheckLetterCase(const std::string& dir, const std::vector<std::string>& names,
                     const std::vector<std::string>& written) {
    std::map<std::string, std::string> seen;
    for (const std::string& name : written)
        seen.emplace(FoldedCase(name), name + ", which this tool writes,");
    for (const std::string& name : names) {
        const auto [it, fresh] = seen.emplace(FoldedCase(name), name);
        if (!fresh)
            throw ToolError(Files::JoinPath(dir, name) + ": differs from " + it->second +
                            " only in letter case; a Windows player's folder cannot hold both");
    }
}

// Scans the source folder: the regular files to publish, in byte order of
// their names. Throws on anything the installer could not use.
std::vector<std::string> ScanSource(const std::string& dir, bool signing, std::ostream& err) {
    std::vector<std::string> written = {ListName, VersionPage};
    if (signing)
        written.insert(written.end(), {ManifestName, SignatureName});
    ErrorRecord failure;
    std::vector<Files::DirEntry> entries;
    if (!Files::ListDirectory(dir, entries, &failure))
        throw ToolError("cannot read " + failure.Description);
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.Name < b.Name; });

    std::vector<std::string> names;
    for (const Files::DirEntry& e : entries) {
        const std::string path = Files::JoinPath(dir, e.Name);
        if (e.IsSymlink)
            throw ToolError(path + ": is a symbolic link; put the file itself in the folder");
        if (e.IsDirectory)
            throw ToolError(path + ": is a subfolder; a release holds plain files only");
        if (!e.IsRegular)
            throw ToolError(path + ": not a regular file (a pipe, socket or device?)");
        CheckName(path, e.Name);
        if (std::find(written.begin(), written.end(), e.Name) != written.end()) {
            err << "ostrak_release: note: " << Printable(path)
                << " is not copied; a new one is written\n";
            continue;
        }
        const int64_t length = Files::FileLength(path, &failure);
        if (length < 0)
            throw ToolError("cannot read " + failure.Description);
        if (length == 0)
            throw ToolError(path + ": is empty; the installer cannot verify an empty file");
        names.push_back(e.Name);
    }
    CheckLetterCase(dir, names, written);
    if (std::find(names.begin(), names.end(), GameExe) == names.end())
        throw ToolError(dir + ": no " + GameExe + " (the version text is its checksum)");
    // The installer fetches the three libraries on every run, by these exact names.
    for (const std::string& library : SupportLibraries)
        if (std::find(names.begin(), names.end(), library) == names.end())
            throw ToolError(dir + ": no " + library + " (the installer places it on every run)");
    const auto listed = std::count_if(names.begin(), names.end(), IsListed);
    if (listed > 255)
        throw ToolError(dir + ": " + std::to_string(listed) +
                        " files to list; a release list holds at most 255");
    return names;
}

// The list for entries. An installed copy whose list's checksum text equals
// the version text keeps that list; so should the new list's checksum text
// equal the version text by chance, a byte is appended (readers ignore bytes
// after the last entry) and every installed copy fetches it.
std::string ListBytes(uint8_t seed, const std::vector<FileListEntry>& entries,
                      const std::string& version) {
    std::string list = EncodeFileList(seed, entries);
    const auto text = [&list] { return ChecksumText(clsCRC().CalculateString(list)); };
    if (text() != version)
        return list;
    list.push_back('\0');
    while (text() == version) // the rare byte that keeps the checksum is passed over
        ++list.back();
    return list;
}

// Writes a small file whole and on the device.
void WriteDurably(const std::string& path, const std::string& bytes) {
    ErrorRecord failure;
    Files::AtomicFileWriter out;
    if (!out.Begin(path, &failure) || !out.Write(bytes.data(), bytes.size(), &failure) ||
        !out.Sync(&failure) || !out.Commit(&failure))
        throw ToolError("cannot write " + failure.Description);
}

SigningOptions SigningOf(const PublishOptions& options, const std::string& target) {
    const int64_t now = SecondsSinceEpoch();
    return SigningOptions{options.SigningKeyPem, NextSerial(target, now),
                          now + int64_t{options.ExpiresDays} * 24 * 3600, options.Channel};
}

// Copies the release into a new tree beside OUT_DIR and moves it into place.
void BuildAndPlace(const PublishOptions& options, const std::vector<std::string>& names,
                   const ReleasePlaces& places, std::ostream& out) {
    Files::TemporaryFolder built;
    ErrorRecord failure;
    if (!built.Create(places.BuildParent, &failure))
        throw ToolError("cannot build the new tree: " + failure.Description);

    std::string version;
    std::vector<FileListEntry> entries;
    for (const std::string& name : names) {
        const uint32_t crc = CopyVerified(Files::JoinPath(options.SourceDir, name),
                                          Files::JoinPath(built.Path(), name));
        const std::string text = ChecksumText(static_cast<int32_t>(crc));
        out << "  " << text << ' ' << Printable(name) << (IsListed(name) ? "" : "  (not listed)")
            << '\n';
        if (name == GameExe)
            version = text;
        else if (IsListed(name))
            entries.push_back({name, static_cast<int32_t>(crc)});
    }

    WriteDurably(Files::JoinPath(built.Path(), VersionPage), version);
    WriteDurably(Files::JoinPath(built.Path(), ListName),
                 ListBytes(options.Seed, entries, version));
    std::string signedNote;
    if (!options.SigningKeyPem.empty()) {
        std::vector<std::string> served = names;
        served.insert(served.end(), {VersionPage, ListName});
        const ReleaseManifest manifest =
            SignRelease(built.Path(), served, SigningOf(options, places.Target));
        signedNote = ", signed with serial " + std::to_string(manifest.Serial) + ", expires " +
                     std::to_string(manifest.Expires);
    }
    if (!Files::SyncDirectory(built.Path(), &failure))
        throw ToolError("cannot write " + failure.Description);

    MoveIntoPlace(built, places);
    out << "Wrote " << Printable(places.Target) << ": " << names.size() << " files, "
        << entries.size() << " listed in " << ListName << " (seed " << int(options.Seed)
        << "), version text " << version << signedNote << '\n';
}

} // namespace

void Publish(const PublishOptions& options, std::ostream& out, std::ostream& err) {
    const ReleasePlaces places = FindReleasePlaces(options.SourceDir, options.OutDir);
    const std::vector<std::string> names =
        ScanSource(options.SourceDir, !options.SigningKeyPem.empty(), err);
    SweepStaleTrees(places);
    const bool outDirCreated = PrepareOutDir(places);
    try {
        BuildAndPlace(options, names, places, out);
    } catch (...) {
        if (outDirCreated)
            Files::RemoveFolder(options.OutDir); // only while it is still empty
        throw;
    }
}

void Resign(const PublishOptions& options, std::ostream& out) {
    const ReleasePlaces places = PublishedTreePlaces(options.OutDir);
    std::string text, error;
    ReleaseManifest earlier;
    if (!Files::ReadWholeFile(Files::JoinPath(places.Target, ManifestName), text) ||
        !ParseManifest(text, earlier, error))
        throw ToolError(places.Target + ": holds no readable " + ManifestName +
                        (error.empty() ? "" : " (" + error + ")") +
                        "; publish it from its SOURCE_DIR with --sign instead");
    SweepStaleTrees(places);
    ErrorRecord failure;
    std::vector<Files::DirEntry> entries;
    if (!Files::ListDirectory(places.Target, entries, &failure))
        throw ToolError("cannot read " + failure.Description);
    Files::TemporaryFolder built;
    if (!built.Create(places.BuildParent, &failure))
        throw ToolError("cannot build the new tree: " + failure.Description);
    std::vector<std::string> names;
    for (const Files::DirEntry& e : entries) {
        const std::string path = Files::JoinPath(places.Target, e.Name);
        if (e.Name == ManifestName || e.Name == SignatureName)
            continue;
        if (!e.IsRegular || e.IsSymlink)
            throw ToolError(path + ": not a regular file; a release tree holds plain files only");
        CopyVerified(path, Files::JoinPath(built.Path(), e.Name));
        names.push_back(e.Name);
    }
    const ReleaseManifest manifest =
        SignRelease(built.Path(), names, SigningOf(options, places.Target));
    for (const ManifestEntry& e : manifest.Files) {
        const ManifestEntry* was = earlier.Find(e.Name);
        if (!was || was->Size != e.Size || was->Sha256Hex != e.Sha256Hex)
            throw ToolError(Files::JoinPath(places.Target, e.Name) +
                            (was ? ": differs from" : ": is not in") + " its signed " +
                            ManifestName + "; publish from SOURCE_DIR instead");
    }
    for (const ManifestEntry& e : earlier.Files)
        if (!manifest.Find(e.Name))
            throw ToolError(Files::JoinPath(places.Target, e.Name) + ": is missing, but its " +
                            ManifestName + " names it; publish from SOURCE_DIR instead");
    if (!Files::SyncDirectory(built.Path(), &failure))
        throw ToolError("cannot write " + failure.Description);
    MoveIntoPlace(built, places);
    out << "Re-signed " << Printable(places.Target) << ": " << manifest.Files.size()
        << " files, serial " << manifest.Serial << ", expires " << manifest.Expires << '\n';
}

} // namespace ostrak
