#include "http/BodyFile.h"

#include "platform/TemporaryFiles.h"
#include "platform/TickCount.h"

#include <map>
#include <mutex>

namespace ostrak {

namespace {
// A sweep reads the whole folder, so a folder is swept at most once in the
// time a temporary takes to go stale: an install of many files would
// otherwise read the game folder again for each one (under Wine, where a
// listing looks up every entry, some 270 system calls per file of an
// install of 260 files).
bool SweepDue(const std::string& folder) {
    static std::mutex lock;
    static std::map<std::string, uint32_t> swept;
    const std::lock_guard<std::mutex> hold(lock);
    const uint32_t now = TickCount();
    const auto [at, first] = swept.try_emplace(folder, now);
    if (first)
        return true;
    if (ElapsedTicks(at->second, now) < Files::StaleAfterSeconds * 1000)
        return false;
    at->second = now;
    return true;
}
} // namespace

bool BodyFile::Begin(const std::string& target, ErrorRecord* failure) {
    Abort();
    const std::string folder = Files::ParentFolder(target);
    if (SweepDue(folder))
        Files::RemoveStaleTemporaries(folder);
    if (!Writer_.Begin(target, failure))
        return false;
    Gathered_.reserve(MinWrite);
    Crc_.Algorithm(clsCRC::CRC32);
    StoredChecksum_.clear();
    Watching_ = Observer_;
    if (Watching_)
        Watching_->BodyBegun();
    return true;
}

bool BodyFile::Append(std::string_view bytes, ErrorRecord* failure) {
    if (!Writer_.IsOpen())
        return false;
    if (Gathered_.empty() && bytes.size() >= MinWrite) {
        // Each piece is written while the checksum's pass over it has left
        // it in the processor's cache. A remainder shorter than MinWrite
        // goes with the piece before it.
        while (!bytes.empty()) {
            const size_t size = bytes.size() < WritePiece + MinWrite ? bytes.size() : WritePiece;
            const std::string_view piece = bytes.substr(0, size);
            bytes.remove_prefix(size);
            Take(piece);
            if (!Writer_.Write(piece.data(), piece.size(), failure)) {
                Abort();
                return false;
            }
        }
        return true;
    }
    Take(bytes);
    Gathered_.append(bytes);
    if (Gathered_.size() >= MinWrite)
        return Flush(failure);
    return true;
}

void BodyFile::Take(std::string_view bytes) {
    Length_ += static_cast<int64_t>(bytes.size());
    Crc_.AddBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    if (Watching_)
        Watching_->BodyBytes(bytes);
}

bool BodyFile::Flush(ErrorRecord* failure) {
    if (Gathered_.empty())
        return true;
    bool ok = Writer_.Write(Gathered_.data(), Gathered_.size(), failure);
    Gathered_.clear();
    if (!ok)
        Abort();
    return ok;
}

bool BodyFile::Finish(ErrorRecord* failure) {
    if (!Writer_.IsOpen())
        return false;
    // The data reaches the device before the new name does, so that a power
    // loss leaves the old file or the whole new one, never a torn one.
    bool ok = Flush(failure) && (!Watching_ || Watching_->BodyComplete(failure)) &&
              Writer_.Sync(failure) && Writer_.Commit(failure);
    if (ok && Length_ > 0)
        StoredChecksum_ = ChecksumText(Crc_.Value());
    Abort();
    return ok;
}

void BodyFile::Abort() {
    Writer_.Abort();
    Gathered_.clear();
    Gathered_.shrink_to_fit();
    Length_ = 0;
    Watching_ = nullptr;
}

} // namespace ostrak
