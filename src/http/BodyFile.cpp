#include "http/BodyFile.h"

#include "platform/TemporaryFiles.h"

namespace ostrak {

bool BodyFile::Begin(const std::string& target, std::string* error) {
    Abort();
    Files::RemoveStaleTemporaries(Files::ParentFolder(target));
    if (!Writer_.Begin(target, error))
        return false;
    Gathered_.reserve(MinWrite);
    return true;
}

bool BodyFile::Append(std::string_view bytes, std::string* error) {
    if (!Writer_.IsOpen())
        return false;
    Length_ += static_cast<int64_t>(bytes.size());
    if (Gathered_.empty() && bytes.size() >= MinWrite) {
        if (Writer_.Write(bytes.data(), bytes.size(), error))
            return true;
        Abort();
        return false;
    }
    Gathered_.append(bytes);
    if (Gathered_.size() >= MinWrite)
        return Flush(error);
    return true;
}

bool BodyFile::Flush(std::string* error) {
    if (Gathered_.empty())
        return true;
    bool ok = Writer_.Write(Gathered_.data(), Gathered_.size(), error);
    Gathered_.clear();
    if (!ok)
        Abort();
    return ok;
}

bool BodyFile::Finish(std::string* error) {
    if (!Writer_.IsOpen())
        return false;
    bool ok = Flush(error) && Writer_.Commit(error);
    Abort();
    return ok;
}

void BodyFile::Abort() {
    Writer_.Abort();
    Gathered_.clear();
    Gathered_.shrink_to_fit();
    Length_ = 0;
}

} // namespace ostrak
