#include "ReleaseTree.h"

#include "ToolError.h"
#include "platform/Files.h"
#include "platform/TerminationCleanup.h"

namespace ostrak {

namespace {

// The absolute path OUT_DIR has or will have once created (its parent must
// exist and be a folder).
std::string ResolveOutDir(const std::string& outDir) {
    std::string error, real;
    if (Files::Exists(outDir)) {
        if (!Files::IsDirectory(outDir, &error) || !Files::RealPath(outDir, real, &error))
            throw ToolError("OUT_DIR " + error);
        return real;
    }
    std::string parent;
    if (!Files::RealPath(Files::ParentFolder(outDir), parent, &error) ||
        !Files::IsDirectory(parent, &error))
        throw ToolError("OUT_DIR " + outDir + " cannot be created: " + error);
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
    std::string error, source;
    if (!Files::IsDirectory(sourceDir, &error) || !Files::RealPath(sourceDir, source, &error))
        throw ToolError("SOURCE_DIR " + error);
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

void SweepStaleTrees(const ReleasePlaces& places) {
    Files::RemoveStaleTemporaries(places.BuildParent);
    if (Files::IsDirectory(places.OutDir))
        Files::RemoveStaleTemporaries(places.OutDir);
}

bool PrepareOutDir(const ReleasePlaces& places) {
    std::string error;
    bool created = false;
    if (!Files::Exists(places.OutDir)) {
        if (!Files::MakeDirectory(places.OutDir, &error))
            throw ToolError("cannot create " + error);
        created = true;
    }
    Files::DirEntry existing;
    if (FindEntry(places.OutDir, "crc", existing) && (existing.IsSymlink || !existing.IsDirectory))
        throw ToolError(places.Target + ": exists and is not a folder; remove it first");
    return created;
}

void MoveIntoPlace(Files::TemporaryFolder& built, const ReleasePlaces& places) {
    std::string error;
    Files::DirEntry existing;
    if (!FindEntry(places.OutDir, "crc", existing)) {
        if (!Files::RenamePath(built.Path(), places.Target, &error))
            throw ToolError("cannot create " + error);
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
    if (!old.Create(places.BuildParent, &error))
        throw ToolError("cannot replace " + places.Target + ": " + error);
    {
        Files::TerminationDeferred deferred;
        if (!Files::RenamePath(places.Target, old.Path(), &error))
            throw ToolError("cannot replace " + error);
        if (!Files::RenamePath(built.Path(), places.Target, &error)) {
            const std::string aside = old.Path();
            old.Keep();
            if (!Files::RenamePath(aside, places.Target))
                error += "; the earlier tree is in " + aside;
            throw ToolError("cannot replace " + error);
        }
        built.Keep();
    }
    old.Remove();
}

} // namespace ostrak
