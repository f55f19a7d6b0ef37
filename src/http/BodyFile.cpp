#include "http/BodyFile.h"

namespace ostrak {

bool BodyFile::Begin(const std::string& target) {
    Abort();
    if (!Writer_.Begin(target))
        return false;
    Gathered_.reserve(MinWrite);
    return true;
}

bool BodyFile::Append(std::string_view bytes) {
    if (!Writer_.IsOpen())
        return false;
    Length_ += static_cast<int64_t>(bytes.size());
    if (Gathered_.empty() && bytes.size() >= MinWrite) {
        if (Writer_.Write(bytes.data(), bytes.size()))
            return true;
        Abort();
        return false;
    }
    Gathered_.append(bytes);
    if (Gathered_.size() >= MinWrite)
        return Flush();
    return true;
}

bool BodyFile::Flush() {
    if (Gathered_.empty())
        return true;
    bool ok = Writer_.Write(Gathered_.data(), Gathered_.size());
    Gathered_.clear();
    if (!ok)
        Abort();
    return ok;
}

bool BodyFile::Finish() {
    if (!Writer_.IsOpen())
        return false;
    bool ok = Flush() && Writer_.Commit();
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
