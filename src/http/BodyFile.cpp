#include "http/BodyFile.h"

#include "platform/TemporaryFiles.h"

namespace ostrak {

bool BodyFile::Begin(const std::string& target, ErrorRecord* failure) {
    Abort();
    Files::RemoveStaleTemporaries(Files::ParentFolder(target));
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
    Length_ += static_cast<int64_t>(bytes.size());
    Crc_.AddBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    if (Watching_)
        Watching_->BodyBytes(bytes);
    if (Gathered_.empty() && bytes.size() >= MinWrite) {
        if (Writer_.Write(bytes.data(), bytes.size(), failure))
            return true;
        Abort();
        return false;
    }
    Gathered_.append(bytes);
    if (Gathered_.size() >= MinWrite)
        return Flush(failure);
    return true;
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
