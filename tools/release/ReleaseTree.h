#pragma once
// Where a release is built and how it is moved into place. The new tree is
// built beside OUT_DIR, on the same file system but outside the folder the
// web server serves, under a temporary name of ours (removed on failure, on
// SIGINT, SIGTERM and SIGHUP, and swept by a later run when a run was
// killed outright). When OUT_DIR is a file system of its own (a mount
// point), the tree is built inside OUT_DIR instead, under the same hidden
// temporary name, since a folder cannot be renamed across file systems.
#include "platform/TemporaryFiles.h"

#include <string>

namespace ostrak {

struct ReleasePlaces {
    std::string OutDir;      // as given
    std::string Target;      // OutDir/crc
    std::string BuildParent; // where the new tree is built
};

// Checks SOURCE_DIR and OUT_DIR against each other and finds where to
// build. Throws ToolError when SOURCE_DIR is not a folder, OUT_DIR cannot
// be a folder (its parent must exist), or OUT_DIR is SOURCE_DIR or lies
// inside it (every later run would find the published tree among the game
// files).
ReleasePlaces FindReleasePlaces(const std::string& sourceDir, const std::string& outDir);

// The places of the tree published in outDir (outDir/crc must be a folder),
// for re-signing it. Throws ToolError.
ReleasePlaces PublishedTreePlaces(const std::string& outDir);

// Removes trees and temporary files of ours that killed runs left in the
// build folder (and in OUT_DIR) once they are stale.
void SweepStaleTrees(const ReleasePlaces& places);

// Makes sure OutDir is a folder (creating it, one level, when missing;
// returns whether it did) and that Target, when present, is a folder that
// can be replaced.
bool PrepareOutDir(const ReleasePlaces& places);

// Moves the finished tree into place as Target, replacing an earlier one:
// where the system can, the two trees swap places in one step, so that a
// server never finds the folder missing. built no longer holds the new tree
// afterwards (the folder is gone, or held the old tree and was removed).
void MoveIntoPlace(Files::TemporaryFolder& built, const ReleasePlaces& places);

} // namespace ostrak
