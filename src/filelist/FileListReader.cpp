#include "filelist/FileListReader.h"

#include "filelist/FileListKeys.h"
#include "filelist/FileName.h"
#include "platform/Files.h"

#include <cstdint>
#include <set>
#include <vector>

namespace ostrak {

namespace {

struct Entry {
    std::string Name;
    int32_t Checksum = 0;
};

// Reads bytes from the list in order; each Take fails once the bytes run out.
class Cursor {
public:
    explicit Cursor(const std::string& bytes) : Bytes_(bytes) {}
    bool Take(uint8_t& b) {
        if (Pos_ >= Bytes_.size())
            return false;
        b = static_cast<uint8_t>(Bytes_[Pos_++]);
        return true;
    }

private:
    const std::string& Bytes_;
    size_t Pos_ = 0;
};

} // namespace

const char* FileListStatusText(FileListStatus status) {
    switch (status) {
    case FileListStatus::Read:
        return "read whole";
    case FileListStatus::NotOpened:
        return "missing or unreadable";
    case FileListStatus::SeedZero:
        return "seed byte 0, cannot be decoded";
    case FileListStatus::Truncated:
        return "ends before its last entry";
    }
    return "unknown";
}

FileListStatus DecodeFileList(const std::string& bytes, FileListTable& table) {
    Cursor in(bytes);
    uint8_t seed = 0;
    if (!in.Take(seed))
        return FileListStatus::Truncated;
    if (seed == 0)
        return FileListStatus::SeedZero;

    FileListKeys keys(seed);
    uint8_t b = 0;
    if (!in.Take(b))
        return FileListStatus::Truncated;
    const uint8_t count = keys.Next() ^ b;

    std::vector<Entry> entries(count);
    for (Entry& e : entries) {
        if (!in.Take(b))
            return FileListStatus::Truncated;
        const uint8_t length = keys.Next() ^ b;
        e.Name.reserve(length);
        for (int i = 0; i < length; ++i) {
            if (!in.Take(b))
                return FileListStatus::Truncated;
            e.Name.push_back(static_cast<char>(keys.Next() ^ b));
        }
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            if (!in.Take(b))
                return FileListStatus::Truncated;
            v |= static_cast<uint32_t>(b) << (8 * i);
        }
        e.Checksum = static_cast<int32_t>(v ^ keys.Next());
    }

    table.EntryCount = count;
    std::set<std::string> folded;
    for (size_t i = 0; i < entries.size(); ++i) {
        // A name that is one of the fixed files, or that folds to an earlier
        // entry's (one file on Windows, and under Wine which one the game
        // opens is undefined), is no entry of its own.
        const bool fresh = folded.insert(FoldedCase(entries[i].Name)).second;
        table.EntryNameSafe[i] =
            ToVbBool(fresh && IsSafeFileName(entries[i].Name) && !IsFixedFileName(entries[i].Name));
        table.EntryNames[i] = std::move(entries[i].Name);
        table.EntryChecksums[i] = entries[i].Checksum;
    }
    return FileListStatus::Read;
}

FileListStatus ReadFileListFile(const std::string& path, FileListTable& table) {
    Files::InputFile file;
    if (!file.Open(path))
        return FileListStatus::NotOpened;
    std::string bytes(MaxFileListBytes, '\0');
    size_t have = 0;
    while (have < bytes.size()) {
        int64_t got = file.Read(bytes.data() + have, bytes.size() - have);
        if (got < 0)
            return FileListStatus::NotOpened;
        if (got == 0)
            break;
        have += static_cast<size_t>(got);
    }
    file.Close();
    bytes.resize(have);
    return DecodeFileList(bytes, table);
}

bool ReadFileList(const std::string& path, FileListTable& table) {
    return ReadFileListFile(path, table) == FileListStatus::Read;
}

} // namespace ostrak
