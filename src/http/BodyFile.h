#pragma once
// The body of a file fetch on its way to disk. Bytes are gathered and handed
// to a temporary file in the target's folder in writes of at least
// MinWrite bytes (the last write of a body may be shorter); Finish renames the
// temporary file over the target. Until then the target is untouched, and a
// failed write, Abort or the destructor remove the temporary file, so a
// target is replaced whole or not at all (its data on the device before the
// new name is). Memory stays below about
// 2 x MinWrite whatever the body's size. Begin also sweeps the target's
// folder of temporary files that an ended run left behind, at most once
// per folder in StaleAfterSeconds. A call that
// fails passes on the platform's error record in *failure when failure is
// given. An observer, when set, sees the body as it is appended and may
// refuse it before it replaces the target (BodyObserver.h). The CRC-32 of
// the body is taken as it is appended, so that checking a stored body reads
// nothing again.
//
// Runs on the user-interface thread; not copyable.
#include "checksum/clsCRC.h"
#include "http/BodyObserver.h"
#include "platform/Files.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ostrak {

class BodyFile {
public:
    static constexpr size_t MinWrite = 64 * 1024;
    // A larger append is checksummed, observed and written in pieces of
    // this size (the last up to MinWrite - 1 bytes longer), each small enough
    // to stay in the processor's cache from one pass to the next.
    static constexpr size_t WritePiece = 128 * 1024;

    BodyFile() = default;
    ~BodyFile() = default;
    BodyFile(const BodyFile&) = delete;
    BodyFile& operator=(const BodyFile&) = delete;

    // Starts a body for target (any earlier unfinished body is abandoned).
    // False when no temporary file can be created beside the target.
    bool Begin(const std::string& target, ErrorRecord* failure = nullptr);
    // Appends bytes; false once a write has failed (the body is then
    // abandoned and the temporary file gone).
    bool Append(std::string_view bytes, ErrorRecord* failure = nullptr);
    // Writes what is gathered and renames the temporary file over the
    // target; false when that fails or the observer refuses the body (the
    // target is then as it was and the temporary file gone).
    bool Finish(ErrorRecord* failure = nullptr);
    // Drops the body and its temporary file.
    void Abort();

    // The observer of the bodies begun from now on (nullptr: none); not owned.
    void SetObserver(BodyObserver* observer) { Observer_ = observer; }

    bool IsOpen() const { return Writer_.IsOpen(); }
    // Bytes appended since Begin.
    int64_t Length() const { return Length_; }
    // The size the observer of the body in progress expects (-1: any).
    int64_t ExpectedLength() const { return Watching_ ? Watching_->ExpectedLength() : -1; }
    const std::string& TemporaryPath() const { return Writer_.TemporaryPath(); }
    // The checksum text (ChecksumText, clsCRC.h) of the CRC-32 of the body
    // that the last Finish stored, as reading the stored file would give it:
    // "" for an empty body, and after a Begin until the next Finish succeeds.
    const std::string& StoredChecksum() const { return StoredChecksum_; }

private:
    // Counts, checksums and shows the observer bytes on their way to disk.
    void Take(std::string_view bytes);
    bool Flush(ErrorRecord* failure);

    Files::AtomicFileWriter Writer_;
    std::string Gathered_;
    int64_t Length_ = 0;
    clsCRC Crc_;
    std::string StoredChecksum_;
    BodyObserver* Observer_ = nullptr;
    // The observer of the body in progress.
    BodyObserver* Watching_ = nullptr;
};

} // namespace ostrak
