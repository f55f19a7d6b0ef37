#pragma once
// Reading the release file list "dta.lst" into the installer's table.
//
// Layout: the seed byte (not masked), the count, then per entry its name
// length, its name bytes and its checksum (32-bit little-endian); every field
// after the seed is masked with one key of FileListKeys (a byte by XOR; the
// checksum by XOR of its lowest byte). Anything after the last entry is
// ignored (the publisher may append a byte there).
#include "filelist/FileListTable.h"

#include <cstddef>
#include <string>

namespace ostrak {

// How a read ended.
enum class FileListStatus {
    Read,      // the whole list was decoded into the table
    NotOpened, // the file is missing or cannot be read
    SeedZero,  // seed byte 0: the keys are not determined by the file
    Truncated, // the file ends before the last field its count announces
};

// A short English text for a status, for messages ("the list ends early").
const char* FileListStatusText(FileListStatus status);

// The longest list that can exist: seed, count, 255 entries of 1 + 255 + 4.
constexpr size_t MaxFileListBytes = 2 + 255 * (1 + 255 + 4);

// Decodes list bytes. On Read, EntryCount and the first EntryCount slots of
// the names, checksums and name-safety flags (FileListTable.h) are set and the later slots keep
// what they held; on any other status the table is left as it was. Draws all
// keys in one go, without letting events run.
FileListStatus DecodeFileList(const std::string& bytes, FileListTable& table);

// Reads the list file at path (at most MaxFileListBytes of it) and decodes it
// as DecodeFileList does.
FileListStatus ReadFileListFile(const std::string& path, FileListTable& table);

// Reads the list file at path into table; true when the list was read whole.
// A missing or unreadable file, seed byte 0, or a list that ends early give
// false and leave the table as it was, so the install flow can refuse the
// list instead of installing half a release.
bool ReadFileList(const std::string& path, FileListTable& table);

} // namespace ostrak
