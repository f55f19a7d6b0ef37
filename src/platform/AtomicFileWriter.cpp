// What the writer does the same way on every system; the per-system parts
// (creating, writing, syncing and renaming the temporary file) are beside it.
#include "platform/Files.h"

#include "platform/PosixError.h"

namespace ostrak {

namespace Files {

AtomicFileWriter::~AtomicFileWriter() {
    Abort();
}

bool AtomicFileWriter::Fail(const char* source, int code, ErrorRecord* failure) {
    ReportFailure(failure, source, Target_, code);
    Abort();
    return false;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes, ErrorRecord* failure) {
    AtomicFileWriter w;
    return (w.Begin(path, failure) && w.Write(bytes.data(), bytes.size(), failure) &&
            w.Commit(failure)) ||
           PassOnFailureAs(failure, "Files.WriteWholeFile");
}

} // namespace Files

} // namespace ostrak
