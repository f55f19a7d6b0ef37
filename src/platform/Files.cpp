// What the file services do the same way on every system, on top of the
// per-system calls beside it.
#include "platform/Files.h"

#include "platform/PosixError.h"

namespace ostrak {

namespace Files {

bool ReadWholeFile(const std::string& path, std::string& out, ErrorRecord* failure) {
    InputFile in;
    if (!in.Open(path, failure))
        return PassOnFailureAs(failure, "Files.ReadWholeFile");
    out.clear();
    char buf[65536];
    for (;;) {
        int64_t n = in.Read(buf, sizeof buf, failure);
        if (n < 0)
            return PassOnFailureAs(failure, "Files.ReadWholeFile");
        if (n == 0)
            return true;
        out.append(buf, static_cast<size_t>(n));
    }
}

InputFile::~InputFile() {
    Close();
}

} // namespace Files

} // namespace ostrak
