// Any bytes as the release list file. The reader either reads the list whole
// or leaves the table as it was; a list read whole is exactly what the
// publisher's writer makes for the decoded entries (the input may only add
// bytes after the last entry), and the same list one byte shorter is reported
// as ending early. Reading the bytes from a file gives what decoding them in
// memory gives.
#include "FuzzCheck.h"
#include "filelist/FileListReader.h"
#include "filelist/FileListWriter.h"
#include "filelist/FileName.h"

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

using namespace ostrak;

namespace {

// A table whose every slot holds a recognisable value.
void Fill(FileListTable& table) {
    table.EntryCount = 77;
    for (int i = 0; i < FileListTable::Slots; ++i) {
        table.EntryNames[i] = "old" + std::to_string(i);
        table.EntryChecksums[i] = -i;
        table.EntryNameSafe[i] = VbTrue;
    }
}

bool SameTable(const FileListTable& a, const FileListTable& b) {
    return a.EntryCount == b.EntryCount && a.EntryNames == b.EntryNames &&
           a.EntryChecksums == b.EntryChecksums && a.EntryNameSafe == b.EntryNameSafe;
}

// A file of this process's own, removed when the process ends.
struct ListFile {
    std::string Path = "/tmp/ostrak_fuzz_list_" + std::to_string(getpid()) + ".lst";
    ~ListFile() { std::remove(Path.c_str()); }
};

const std::string& ListPath() {
    static const ListFile file;
    return file.Path;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr, "the list file can be written");
    FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(),
               "the list file is written");
    std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    static FileListTable before, table;
    Fill(before);
    Fill(table);

    const FileListStatus status = DecodeFileList(bytes, table);
    if (status != FileListStatus::Read) {
        FUZZ_CHECK(SameTable(table, before), "a list not read whole leaves the table as it was");
        FUZZ_CHECK((status == FileListStatus::SeedZero) == (size > 0 && data[0] == 0),
                   "seed 0 is reported exactly when the seed byte is 0");
    } else {
        FUZZ_CHECK(size >= 2 && data[0] != 0, "a list read whole has a seed and a count");
        std::vector<FileListEntry> entries;
        std::set<std::string> folded; // the names before, letter case folded
        for (int i = 0; i < table.EntryCount; ++i) {
            entries.push_back({table.EntryNames[i], table.EntryChecksums[i]});
            const bool fresh = folded.insert(FoldedCase(table.EntryNames[i])).second;
            FUZZ_CHECK(IsTrue(table.EntryNameSafe[i]) ==
                           (fresh && IsSafeFileName(table.EntryNames[i]) &&
                            !IsFixedFileName(table.EntryNames[i])),
                       "the name-safety flag matches the name and the names before it");
        }
        for (int i = table.EntryCount; i < FileListTable::Slots; ++i)
            FUZZ_CHECK(table.EntryNames[i] == before.EntryNames[i] &&
                           table.EntryChecksums[i] == before.EntryChecksums[i] &&
                           table.EntryNameSafe[i] == before.EntryNameSafe[i],
                       "slots beyond the count keep what they held");
        const std::string encoded = EncodeFileList(data[0], entries);
        FUZZ_CHECK(bytes.compare(0, encoded.size(), encoded) == 0,
                   "the writer makes the bytes the reader decoded");
        FileListTable cut;
        Fill(cut);
        FUZZ_CHECK(DecodeFileList(encoded.substr(0, encoded.size() - 1), cut) ==
                       FileListStatus::Truncated,
                   "a list one byte short of its last entry ends early");
        FUZZ_CHECK(SameTable(cut, before), "a list that ends early leaves the table as it was");
    }

    // The same bytes through the file reader, for every fourth input length
    // (a file round trip costs far more than decoding).
    if (size <= MaxFileListBytes && size % 4 == 0) {
        WriteFile(ListPath(), bytes);
        FileListTable fromFile;
        Fill(fromFile);
        FUZZ_CHECK(ReadFileListFile(ListPath(), fromFile) == status,
                   "the file reader reports what the decoder does");
        FUZZ_CHECK(SameTable(fromFile, table), "the file reader fills the table alike");
    }
    return 0;
}
