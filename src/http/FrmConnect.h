#pragma once
// FrmConnect: the HTTP/1.0 download client, a hidden object (never a visible
// window; its caption is "HTTP Connect Form for Ostrak").
//
// Fetches one resource at a time over its socket object Winsock1: into a file
// (RetrieveFile), into ResponseText (RetrieveURL), or into a string that the
// caller waits for (RetrieveHTML). Requests wait in a queue of QueueSlots; one
// more is dropped. Timer1 ticks every TimerIntervalMs from construction to
// destruction: each tick first finishes a file fetch whose connection has
// closed, then runs the service step, which connects for the head of the
// queue when the socket is closed and otherwise counts idle ticks, closing
// the socket once they pass IdleTickLimit (so a connection attempt that gets
// no answer is renewed every IdleTickLimit + 2 ticks).
//
// Work does not wait for a tick when it falls due between two: a file fetch
// whose server closes the connection is stored (or fails) inside that close
// event, and a zero-delay timer (DueWork_) then releases the connection and
// connects for the head of the queue; a request queued while the socket is
// closed starts it too, so the connect begins as soon as the caller lets
// events run. A socket object left in its error state by a refused
// connection is renewed first there. Such work never counts idle ticks, and
// only a tick closes an idle connection, so the watchdog and the rhythm of
// failed attempts stay those of the ticks. The timer, rather than calling
// the routines from the socket events, keeps a socket object from being
// closed, renewed or reconnected inside its own event.
//
// The request is exactly: "GET " path " HTTP/1.0" CRLF "Host: " server CRLF
// "Accept: */*" CRLF "Connection: close" CRLF CRLF. It goes to Port of the
// server (80 unless the owner sets another before the first request); the
// Host header never carries it.
//
// Callers poll DownPerc (body bytes / announced "Content-Length", not
// clamped; 0 while no length is known; first updated by the arrival after the
// one that completed the header block) and DownDone. A fetch is stored whole
// or not at all: the body of a file fetch streams into a temporary file beside
// the target, renamed over it when the server has closed the connection. A
// fetch that fails (no header block, a status other than 2xx, a header block
// over MaxHeaderBlock, an in-memory body over MaxMemoryBody, a body shorter
// than its "Content-Length:" header declares, a body more than MaxBodyExcess
// longer than announced, a reset connection, a target that cannot be written)
// leaves the target as it was, keeps DownDone false and sets DownFailed, with
// the reason in FailureText. A connection that breaks (a reset) settles its
// file fetch at once, inside the socket's error event: failed, or stored when
// the whole declared body had arrived. A line that merely contains "Content-Length" (such as
// "X-Original-Content-Length:") still sets the announced length for progress,
// but the body is held only to a real "Content-Length:" header.
//
// Runs on the user-interface thread. Socket events and ticks arrive from the
// event loop; RetrieveHTML lets them run inside its wait. Errors inside a
// tick are ignored statement by statement; errors raised by socket operations
// in RetrieveHTML pass to its caller. Not copyable; owns Winsock1 and Timer1.
#include "http/BodyFile.h"
#include "platform/Timer.h"
#include "runtime/VbTypes.h"
#include "sockets/CSocket.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ostrak {

class FrmConnect final : private CSocketEvents {
public:
    // Where the fetch on the current connection stands.
    enum class TransferPhase : uint8_t {
        // No fetch on the connection: whatever arrives is dropped (none was
        // sent yet, or the fetch was stored, abandoned or failed).
        Idle,
        // The request went out; nothing has arrived yet.
        Requested,
        // The header block is arriving.
        Header,
        // The header block is complete; the body is arriving.
        Body,
        // The fetch is over and its connection is to be released by the next
        // tick (it failed inside a socket event, or the connection broke
        // after the whole body); arrivals are dropped.
        Releasing,
    };

    static constexpr const char* Caption = "HTTP Connect Form for Ostrak";
    static constexpr int QueueSlots = 5;
    static constexpr uint32_t TimerIntervalMs = 100;
    // IdleTicks beyond this closes the socket.
    static constexpr int16_t IdleTickLimit = 20;
    static constexpr size_t MaxHeaderBlock = 64 * 1024;
    static constexpr int64_t MaxMemoryBody = 1024 * 1024;
    // A body may run this far past its announced length and still be
    // stored; one byte more fails the fetch at once, so a server that
    // announces a length and then streams without end cannot fill the disk.
    static constexpr int64_t MaxBodyExcess = 1024 * 1024;
    // A file body may not leave its file system with less free space than
    // the smaller of these: the announced length is checked as the body
    // begins, and the bytes are counted while they arrive.
    static constexpr int64_t FreeSpaceReserve = 64 * 1024 * 1024;
    static constexpr int FreeSpaceReservePercent = 1;
    // RetrieveHTML: attempts, the wait of one attempt, and the pause between.
    static constexpr int RetrieveHTMLAttempts = 4;
    static constexpr uint32_t RetrieveHTMLWaitMs = 15000;
    static constexpr int32_t RetrieveHTMLPauseMs = 1000;

    // Loads the object: creates Winsock1 and enables Timer1.
    FrmConnect();
    // Unloads it: stops Timer1, abandons any unfinished body (its temporary
    // file is removed) and releases Winsock1.
    ~FrmConnect();
    FrmConnect(const FrmConnect&) = delete;
    FrmConnect& operator=(const FrmConnect&) = delete;

    // Progress of the current body; see above. Set to 0 by every Retrieve.
    double DownPerc = 0;
    // True once a file fetch has been stored. Set to false by every Retrieve.
    VbBool DownDone = VbFalse;
    // True once the current fetch has failed (never together with DownDone).
    // Set to false by every Retrieve.
    VbBool DownFailed = VbFalse;
    // Why the last fetch failed, for messages ("" after a Retrieve).
    std::string FailureText;
    // Port that connections go to.
    int32_t Port = 80;
    // Description of the last asynchronous socket failure (a refused or reset
    // connection, a failed name resolution), for messages; "" when none yet.
    std::string SocketErrorText;
    // Connections that the system refused or could not make (the socket's
    // error event before it connected), counted from construction: a caller
    // that waits for a fetch takes a new one as its attempt failing, where
    // the watchdog alone would wait for its next renewal.
    int32_t ConnectFailures = 0;
    // True when the current file fetch failed because its target's file
    // system is full, or would be left with less than its reserve
    // (FreeSpaceReserve): retrying cannot help. Set to false by every
    // Retrieve.
    VbBool DiskFull = VbFalse;

    // Queues a request whose response (header block included) stays in
    // ResponseText until the next connection opens. Returns at once.
    void RetrieveURL(const std::string& Server, const std::string& Url);
    // Queues a request whose body is stored as Filename (a full path). Returns
    // at once; the caller polls DownDone, DownFailed and DownPerc.
    void RetrieveFile(const std::string& Server, const std::string& Url,
                      const std::string& Filename);
    // Queues the request, connects and waits (letting events run) for the
    // body. An attempt that fails, or has not completed after
    // RetrieveHTMLWaitMs by the tick counter, is abandoned (CloseConnections),
    // followed by a pause of RetrieveHTMLPauseMs and a fresh attempt; after
    // RetrieveHTMLAttempts attempts the result is empty. Once the program
    // has ended (inside the wait or the pause, Program.h) it returns empty at
    // once without touching this object, which the exit path may have
    // unloaded.
    std::optional<std::string> RetrieveHTML(const std::string& Server, const std::string& Url);
    // Empties the queue and ResponseText and releases the socket at once
    // (a connected one too, without waiting for the server to close its
    // side), so the next request connects as soon as events run. The fetch in
    // flight is abandoned: its target is never written and DownDone is not
    // set by it. DownPerc and DownDone keep their values. Not from inside a
    // socket event.
    void CloseConnections();

    // The observer of the bodies of file fetches started from now on
    // (BodyObserver.h; nullptr: none). Not owned: it must outlive its use. A
    // body it refuses fails the fetch like a target that cannot be written.
    void SetBodyObserver(BodyObserver* observer) { Body.SetObserver(observer); }

    // The pause between RetrieveHTML attempts (ms); by default a wait that
    // lets events run. The installer plugs in its window's Pause as it loads
    // the client.
    void SetPauseHook(std::function<void(int32_t ms)> pause);

    // The checksum text of the CRC-32 of the body that the last file fetch
    // stored, taken while it streamed (BodyFile::StoredChecksum).
    const std::string& StoredChecksum() const { return Body.StoredChecksum(); }

    // What the current connection received: the header block (ending with its
    // blank line) while a file fetch runs and after it; the whole response for
    // in-memory fetches.
    const std::string& ResponseText() const { return ResponseText_; }
    // Body bytes received on the current connection (all bytes before the
    // header block is complete), and the announced length (0: none).
    int64_t BodyBytes() const { return BodyBytes_; }
    // Every byte received for fetches in flight, counted from construction.
    int64_t ReceivedBytes() const { return ReceivedBytes_; }
    int64_t ContentLength() const { return ContentLength_; }
    // Requests waiting in the queue (not counting the one in flight).
    int QueuedRequests() const;
    TransferPhase Phase() const { return Phase_; }

    // The socket object. It may be replaced by a fresh one when a failed
    // connection leaves it in its error state, so do not keep the reference.
    CSocket& Winsock1() { return *Winsock1_; }
    // The timer; tests may disable it and call Timer1_Timer themselves.
    PeriodicTimer Timer1;
    // One tick: finish a closed file fetch, then run the service step.
    void Timer1_Timer();

private:
    // Socket events.
    void OnConnect() override;
    void OnDataArrival(int32_t bytesTotal) override;
    void OnClose() override;
    void OnError(int16_t Number, std::string& Description, int32_t Scode, const std::string& Source,
                 const std::string& HelpFile, int32_t HelpContext, VbBool& CancelDisplay) override;

    // One queued request. A slot is free when its Server is empty; then all
    // three are empty.
    struct Request {
        std::string Server;
        std::string Url;
        // Target file path; empty when the body stays in memory.
        std::string File;
    };

    void Enqueue(const std::string& server, const std::string& url, const std::string& file);
    // Connects for slot 1 when the socket is closed, else counts an idle tick.
    void ServiceStep();
    // The zero-delay timer's work: ReleaseEndedFetch, then a connect for a
    // queued request when no fetch is in flight.
    void RunDueWork();
    // Releases a connection whose fetch is over and stores a file fetch whose
    // connection has ended; errors are ignored statement by statement.
    void ReleaseEndedFetch();
    // Connects for slot 1 when there is one and the socket is closed.
    bool ConnectHead();
    // Reads the header block once its blank line has arrived at index at.
    void CompleteHeader(size_t at);
    void TakeBody(std::string_view bytes);
    // The body has run more than MaxBodyExcess past the announced length.
    bool BodyTooLong() const;
    // A request was sent on the current connection and its fetch is unsettled.
    bool InFlight() const;
    // The blank line that ends the header block has been seen.
    bool HeaderDone() const { return Phase_ == TransferPhase::Body; }
    // The connection of the fetch in flight has ended (closed or failed).
    bool TransferEnded() const;
    // Settles an ended fetch: true when it is complete and sound, else Fail.
    bool SettleTransfer();
    // Settles an ended file fetch: stores its body (DownDone) or fails it.
    void FinishFileFetch();
    // Ends the fetch in flight: Idle, or Releasing while its connection is
    // not closed yet.
    void EndTransfer();
    // Marks the fetch in flight failed and drops what it gathered.
    void Fail(std::string reason);
    // Fail, for a file system that is full (DiskFull).
    void FailDiskFull(std::string reason);
    // Sets the bounds of the file body just begun; false when its announced
    // length already passes one (the fetch has failed then).
    bool BoundBody();
    // Releases a connection whose data is no longer wanted (from a tick,
    // RetrieveHTML or CloseConnections, never inside a socket event).
    void DropConnection();
    // Replaces Winsock1 by a fresh, closed socket object.
    void RenewSocket();
    std::string CutBody() const;

    // Runs RunDueWork from the event loop as soon as events run; off otherwise.
    PeriodicTimer DueWork_;
    std::unique_ptr<CSocket> Winsock1_;
    // Slot 0 is the head.
    std::array<Request, QueueSlots> Queue;
    std::string ResponseText_;
    int64_t BodyBytes_ = 0;
    int64_t ContentLength_ = 0;
    // The real "Content-Length:" header's value (0: none): the length the
    // body has to reach.
    int64_t DeclaredLength_ = 0;
    int64_t ReceivedBytes_ = 0;
    // Bytes the current file body may have: the free space above the
    // reserve, and the size the body observer expects (-1: no bound).
    int64_t SpaceForBody_ = -1;
    int64_t ExpectedLength_ = -1;
    int16_t IdleTicks = 0;
    std::string CurrentFile;
    TransferPhase Phase_ = TransferPhase::Idle;
    size_t SearchFrom = 0;
    std::string Chunk;
    BodyFile Body;
    std::function<void(int32_t)> Pause;
};

} // namespace ostrak
