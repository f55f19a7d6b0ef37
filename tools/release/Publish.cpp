#include "Publish.h"

#include "Printable.h"
#include "ToolError.h"
#include "checksum/Crc32.h"
#include "checksum/Crc32Padding.h"
#include "checksum/clsCRC.h"
#include "filelist/FileListWriter.h"
#include "filelist/FileName.h"
#include "platform/Files.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <ostream>
#include <random>
#include <system_error>
#include <vector>

namespace ostrak {

namespace fs = std::filesystem;

namespace {

const std::string GameExe = "ostrak.exe";
const std::string ListName = "dta.lst";
const std::string VersionPage = "index.php";
// Placed by the installer itself; never listed.
const std::array<std::string, 3> SupportLibraries = {"CGZipLibrary.dll", "gdiplus.dll",
                                                     "Unzip32.dll"};
constexpr size_t CopyChunk = 1 << 20;

bool IsListed(const std::string& name) {
    return name != GameExe && name != ListName &&
           std::find(SupportLibraries.begin(), SupportLibraries.end(), name) ==
               SupportLibraries.end();
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

// Scans the source folder: the regular files to publish, in byte order of
// their names. Throws on anything the installer could not use.
std::vector<std::string> ScanSource(const std::string& dir, std::ostream& err) {
    if (!Files::IsDirectory(dir))
        throw ToolError(dir + ": not a folder");
    std::vector<Files::DirEntry> entries;
    if (!Files::ListDirectory(dir, entries))
        throw ToolError(dir + ": cannot read the folder");
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
        if (e.Name.size() > 255)
            throw ToolError(path + ": name of " + std::to_string(e.Name.size()) +
                            " bytes; at most 255");
        if (!IsSafeFileName(e.Name))
            throw ToolError(path + ": name holds a control character or backslash");
        if (char c = UrlBreakingChar(e.Name))
            throw ToolError(path + ": name holds " +
                            (c == ' ' ? std::string("a space") : "\"" + std::string(1, c) + "\"") +
                            ", which the installer cannot request");
        if (Files::FileLength(path) == 0)
            throw ToolError(path + ": is empty; the installer cannot verify an empty file");
        if (e.Name == ListName || e.Name == VersionPage) {
            err << "ostrak_release: note: " << Printable(path)
                << " is not copied; a new one is written\n";
            continue;
        }
        names.push_back(e.Name);
    }
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

// Copies from to to in chunks and returns the CRC-32 of what was copied.
uint32_t CopyFile(const std::string& from, const std::string& to) {
    Files::InputFile in;
    if (!in.Open(from))
        throw ToolError(from + ": cannot be read");
    Files::AtomicFileWriter out;
    if (!out.Begin(to))
        throw ToolError(to + ": cannot be created");
    std::vector<char> buffer(CopyChunk);
    uint32_t reg = 0xFFFFFFFFu;
    for (;;) {
        const int64_t got = in.Read(buffer.data(), buffer.size());
        if (got < 0)
            throw ToolError(from + ": cannot be read");
        if (got == 0)
            break;
        reg = Crc32Update(reg, buffer.data(), static_cast<size_t>(got));
        if (!out.Write(buffer.data(), static_cast<size_t>(got)))
            throw ToolError(to + ": cannot be written (disk full?)");
    }
    if (!out.Sync() || !out.Commit())
        throw ToolError(to + ": cannot be written");
    return ~reg;
}

// Writes a small file whole and on the device.
void WriteDurably(const std::string& path, const std::string& bytes) {
    Files::AtomicFileWriter out;
    if (!out.Begin(path) || !out.Write(bytes.data(), bytes.size()) || !out.Sync() || !out.Commit())
        throw ToolError(path + ": cannot be written");
}

// A new, empty folder next to the target, named prefix + a unique suffix.
std::string MakeScratchFolder(const std::string& parent, const std::string& prefix) {
    std::random_device random;
    for (int n = 0; n < 100; ++n) {
        const std::string path = Files::JoinPath(parent, prefix + std::to_string(random()));
        if (Files::MakeDirectory(path))
            return path;
        if (!Files::Exists(path))
            break;
    }
    throw ToolError(parent + ": cannot create a folder in it");
}

// Removes a folder of ours with all it holds, whatever happens.
class ScratchGuard {
public:
    explicit ScratchGuard(std::string path) : Path_(std::move(path)) {}
    ~ScratchGuard() {
        if (!Path_.empty()) {
            std::error_code ec;
            fs::remove_all(Path_, ec);
        }
    }
    void Release() { Path_.clear(); }

private:
    std::string Path_;
};

// Makes sure outDir is a folder (creating it, one level, when missing;
// returns whether it did) and that target, when present, is a folder that can be replaced.
bool PrepareOutDir(const std::string& outDir, const std::string& target) {
    std::error_code ec;
    const auto status = fs::status(outDir, ec);
    if (fs::exists(status) && !fs::is_directory(status))
        throw ToolError(outDir + ": not a folder");
    bool created = false;
    if (!fs::exists(status)) {
        created = fs::create_directory(outDir, ec);
        if (!created)
            throw ToolError(outDir + ": cannot be created (" + ec.message() + ")");
    }
    const auto existing = fs::symlink_status(target, ec);
    if (fs::exists(existing) && !fs::is_directory(existing))
        throw ToolError(target + ": exists and is not a folder; remove it first");
    return created;
}

// Moves the finished tree into place, replacing an earlier one.
void MoveIntoPlace(const std::string& outDir, const std::string& built, const std::string& target) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(target, ec))) {
        fs::rename(built, target, ec);
        if (ec)
            throw ToolError(target + ": cannot be created (" + ec.message() + ")");
        return;
    }
    // Where the system can, the two trees swap places in one step, so that a
    // server never finds the folder missing.
    if (Files::ExchangePaths(built, target)) {
        fs::remove_all(built, ec);
        return;
    }
    const std::string old = MakeScratchFolder(outDir, ".crc.old-");
    Files::RemoveFolder(old); // only its name is wanted
    fs::rename(target, old, ec);
    if (ec)
        throw ToolError(target + ": cannot be replaced (" + ec.message() + ")");
    fs::rename(built, target, ec);
    if (ec) {
        std::error_code back;
        fs::rename(old, target, back);
        throw ToolError(target + ": cannot be replaced (" + ec.message() + ")");
    }
    fs::remove_all(old, ec);
}

// Builds the new tree in a scratch folder of outDir and moves it into place.
void BuildAndPlace(const PublishOptions& options, const std::vector<std::string>& names,
                   const std::string& target, std::ostream& out) {
    const std::string built = MakeScratchFolder(options.OutDir, ".crc.new-");
    ScratchGuard guard(built);

    uint32_t exeCrc = 0;
    std::vector<FileListEntry> entries;
    for (const std::string& name : names) {
        const uint32_t crc =
            CopyFile(Files::JoinPath(options.SourceDir, name), Files::JoinPath(built, name));
        out << "  " << ChecksumText(static_cast<int32_t>(crc)) << ' ' << name
            << (IsListed(name) ? "" : "  (not listed)") << '\n';
        if (name == GameExe)
            exeCrc = crc;
        else if (IsListed(name))
            entries.push_back({name, static_cast<int32_t>(crc)});
    }

    const std::string version = ChecksumText(static_cast<int32_t>(exeCrc));
    WriteDurably(Files::JoinPath(built, VersionPage), version);
    WriteDurably(Files::JoinPath(built, ListName), EncodeFileList(options.Seed, entries, exeCrc));
    if (!Files::SyncDirectory(built))
        throw ToolError(built + ": cannot be written");

    MoveIntoPlace(options.OutDir, built, target);
    guard.Release();
    out << "Wrote " << target << ": " << names.size() << " files, " << entries.size()
        << " listed in " << ListName << " (seed " << int(options.Seed) << "), version text "
        << version << '\n';
}

} // namespace

void Publish(const PublishOptions& options, std::ostream& out, std::ostream& err) {
    const std::vector<std::string> names = ScanSource(options.SourceDir, err);
    const std::string target = Files::JoinPath(options.OutDir, "crc");
    const bool outDirCreated = PrepareOutDir(options.OutDir, target);
    try {
        BuildAndPlace(options, names, target, out);
    } catch (...) {
        if (outDirCreated)
            Files::RemoveFolder(options.OutDir); // only while it is still empty
        throw;
    }
}

} // namespace ostrak
