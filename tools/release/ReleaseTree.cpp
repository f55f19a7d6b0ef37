#include "ReleaseTree.h"

#include "ToolError.h"
#include "platform/Files.h"
#include "platform/TerminationCleanup.h"

namespace ostrak {

namespace {

// The absolute path OUT_DIR has or will have once created (its parent must
// exist and be a folder).
std::string ResolveOutDir(const std::string& outDir) {
    ErrorRecord failure;
    std::string real;
    if (Files::Exists(outDir)) {
        if (!Files::IsDirectory(outDir, &failure) || !Files::RealPath(outDir, real, &failure))
            throw ToolError("OUT_DIR " + failure.Description);
        return real;
    }
    std::string parent;
    if (!Files::RealPath(Files::ParentFolder(outDir), parent, &failure) ||
        !Files::IsDirectory(parent, &failure))
        throw ToolError("OUT_DIR " + outDir + " cannot be created: " + failure.Description);
    return Files::JoinPath(parent, Files::BaseName(outDir));
}

bool IsSameOrInside(const std::string& path, const std::string& folder) {
    if (path == folder)
        return true;
    const std::string prefix = folder == "/" ? folder : folder + "/";
    return path.compare(0, prefix.size(), prefix) == 0;
}

// The entry of name in folder, as the folder lists it (links not followed).
bool FindEntry(const std::string& folder, const std::string& name, Files::DirEntry& found) {
    std::vector<Files::DirEntry> entries;
    Files::ListDirectory(folder, entries);
    for (const Files::DirEntry& e : entries)
        if (e.Name == name) {
            found = e;
            return true;
        }
    return false;
}

} // namespace

ReleasePlaces FindReleasePlaces(const std::string& sourceDir, const std::string& outDir) {
    ErrorRecord failure;
    std::string source;
    if (!Files::IsDirectory(sourceDir, &failure) || !Files::RealPath(sourceDir, source, &failure))
        throw ToolError("SOURCE_DIR " + failure.Description);
    const std::string out = ResolveOutDir(outDir);
    if (IsSameOrInside(out, source))
        throw ToolError("OUT_DIR " + outDir +
                        " is SOURCE_DIR or inside it; every later run would "
                        "find the published tree among the game files: choose an OUT_DIR "
                        "outside " +
                        sourceDir);

    ReleasePlaces places;
    places.OutDir = outDir;
    places.Target = Files::JoinPath(outDir, "crc");
    places.BuildParent = Files::ParentFolder(out);
    if (Files::Exists(out) && !Files::SameFileSystem(out, places.BuildParent))
        places.BuildParent = out;
    return places;
}

ReleasePlaces PublishedTreePlaces(const std::string& outDir) {
    ErrorRecord failure;
    std::string out;
    if (!Files::IsDirectory(outDir, &failure) || !Files::RealPath(outDir, out, &failure))
        throw ToolError("OUT_DIR " + failure.Description);
    ReleasePlaces places{outDir, Files::JoinPath(outDir, "crc"), Files::ParentFolder(out)};
    Files::DirEntry existing;
    if (!FindEntry(outDir, "crc", existing) || existing.IsSymlink || !existing.IsDirectory)
        throw ToolError(places.Target + ": no published tree (a folder) to re-sign");
    if (!Files::SameFileSystem(out, places.BuildParent))
        places.BuildParent = out;
    return places;
}

void SweepStaleTrees(const ReleasePlaces& places) {
    Files::RemoveStaleTemporaries(places.BuildParent);
    if (Files::IsDirectory(places.OutDir))
        Files::RemoveStaleTemporaries(places.OutDir);
}

bool PrepareOutDir(const ReleasePlaces& places) {
    ErrorRecord failure;
    bool created = false;
    if (!Files::Exists(places.OutDir)) {
        if (!Files::MakeDirectory(places.OutDir, &failure))
            throw ToolError("cannot create " + failure.Description);
        created = true;
    }
    Files::DirEntry existing;
    if (FindEntry(places.OutDir, "crc", existing) && (existing.IsSymlink || !existing.IsDirectory))
        throw ToolError(places.Target + ": exists and is not a folder; remove it first");
    return created;
}

void MoveIntoPlace(Files::TemporaryFolder& built, const ReleasePlaces& places) {
    ErrorRecord failure;
    Files::DirEntry existing;
    if (!FindEntry(places.OutDir, "crc", existing)) {
        if (!Files::RenamePath(built.Path(), places.Target, &failure))
            throw ToolError("cannot create " + failure.Description);
        built.Keep();
        return;
    }
    if (Files::ExchangePaths(built.Path(), places.Target)) {
        built.Remove(); // it holds the earlier tree now
        return;
    }
    // Without a swap the earlier tree steps aside first; the two renames are
    // not cut apart by a signal, so the folder is missing only for a moment.
    Files::TemporaryFolder old;
    if (!old.Create(places.BuildParent, &failure))
        throw ToolError("cannot replace " + places.Target + ": " + failure.Description);
    {
        Files::TerminationDeferred deferred;
        if (!Files::RenamePath(places.Target, old.Path(), &failure))
            throw ToolError("cannot replace " + failure.Description);
        if (!Files::RenamePath(built.Path(), places.Target, &failure)) {
            const std::string aside = old.Path();
            old.Keep();
            if (!Files::RenamePath(aside, places.Target))
                failure.Description += "; the earlier tree is in " + aside;
            throw ToolError("cannot replace " + failure.Description);
        }
        built.Keep();
    }
    old.Remove();
}

} // namespace ostrak
