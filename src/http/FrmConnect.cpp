#include "http/FrmConnect.h"

#include "http/ResponseHead.h"
#include "platform/EventLoop.h"
#include "platform/Files.h"
#include "runtime/ErrorRecord.h"

#include <algorithm>
#include <utility>

namespace ostrak {

namespace {

// The pause between RetrieveHTML attempts when no hook is set: a wait on the
// tick counter that lets events run.
void WaitLettingEventsRun(int32_t ms) {
    if (ms > 0)
        WaitTicks(static_cast<uint32_t>(ms));
}

} // namespace

FrmConnect::FrmConnect()
    : Timer1(TimerIntervalMs, [this] { Timer1_Timer(); }), DueWork_(0, [this] { RunDueWork(); }),
      Winsock1_(std::make_unique<CSocket>(static_cast<CSocketEvents*>(this))),
      Pause(WaitLettingEventsRun) {
    Timer1.SetEnabled(true);
}

FrmConnect::~FrmConnect() {
    Timer1.SetEnabled(false);
    DueWork_.SetEnabled(false);
    Body.Abort();
    Winsock1_->SetOwner(nullptr);
    Winsock1_.reset();
}

void FrmConnect::SetPauseHook(std::function<void(int32_t)> pause) {
    Pause = pause ? std::move(pause) : WaitLettingEventsRun;
}

int FrmConnect::QueuedRequests() const {
    int n = 0;
    for (const Request& r : Queue)
        n += r.Server.empty() ? 0 : 1;
    return n;
}

// --- Requests ---

void FrmConnect::Enqueue(const std::string& server, const std::string& url,
                         const std::string& file) {
    for (Request& slot : Queue) {
        if (slot.Server.empty()) {
            slot = Request{server, url, file};
            if (&slot == &Queue[0])
                DueWork_.SetEnabled(true);
            return;
        }
    }
    // All five slots taken: the request is dropped.
}

void FrmConnect::RetrieveURL(const std::string& Server, const std::string& Url) {
    DownPerc = 0;
    DownDone = VbFalse;
    DownFailed = VbFalse;
    DiskFull = VbFalse;
    FailureText.clear();
    Enqueue(Server, Url, "");
}

void FrmConnect::RetrieveFile(const std::string& Server, const std::string& Url,
                              const std::string& Filename) {
    DownPerc = 0;
    DownDone = VbFalse;
    DownFailed = VbFalse;
    DiskFull = VbFalse;
    FailureText.clear();
    Enqueue(Server, Url, Filename);
}

void FrmConnect::CloseConnections() {
    Queue.fill(Request{});
    ResponseText_.clear();
    // The fetch in flight is abandoned: late data on its connection is dropped
    // (a release that is already due still happens).
    Body.Abort();
    CurrentFile.clear();
    // The connection goes at once, not after a graceful close that a stalled
    // server may never answer: the next request is not held up by it.
    Phase_ = TransferPhase::Idle;
    DropConnection();
}

// --- Timer and service step ---

void FrmConnect::Timer1_Timer() {
    ReleaseEndedFetch();
    IgnoreErrors([&] { ServiceStep(); });
}

void FrmConnect::RunDueWork() {
    DueWork_.SetEnabled(false);
    ReleaseEndedFetch();
    IgnoreErrors([&] {
        if (Queue[0].Server.empty() || InFlight())
            return;
        // A socket object that a refused or broken connection left in its
        // error state cannot connect again; the queued request gets a fresh
        // one now rather than at the watchdog's next renewal.
        const int32_t state = Winsock1_->State();
        if (state == SocketState::Error)
            RenewSocket();
        ConnectHead();
    });
}

void FrmConnect::ReleaseEndedFetch() {
    IgnoreErrors([&] {
        if (Phase_ == TransferPhase::Releasing)
            DropConnection();
    });
    IgnoreErrors([&] {
        if (!InFlight() || CurrentFile.empty() || !TransferEnded())
            return;
        FinishFileFetch();
        if (Phase_ == TransferPhase::Releasing)
            DropConnection();
    });
}

bool FrmConnect::ConnectHead() {
    if (Queue[0].Server.empty() || Winsock1_->State() != SocketState::Closed)
        return false;
    Winsock1_->Connect(Variant{Queue[0].Server}, Variant{Port});
    IdleTicks = 0;
    return true;
}

void FrmConnect::FinishFileFetch() {
    if (SettleTransfer()) {
        EndTransfer();
        ErrorRecord why;
        if (Body.Finish(&why)) {
            DownDone = VbTrue;
            DownFailed = VbFalse;
        } else {
            Fail("cannot write " + (why.Description.empty() ? CurrentFile : why.Description));
        }
    }
    CurrentFile.clear();
}

void FrmConnect::ServiceStep() {
    if (Queue[0].Server.empty() || ConnectHead())
        return;
    ++IdleTicks;
    if (IdleTicks <= IdleTickLimit)
        return;
    Winsock1_->CloseSocket();
    IdleTicks = 0;
    // A transfer cut short by the watchdog is incomplete, whether or not its
    // length was announced: it is never stored.
    if (InFlight())
        Fail("the transfer stalled");
    // A refused or reset connection (or a name resolution that could not be
    // started) leaves the socket object without a socket in a state that
    // CloseSocket cannot leave; a fresh object reads closed, so the next step
    // connects again, on the same rhythm as an attempt that never completes.
    int32_t state = Winsock1_->State();
    if (state != SocketState::Closed && state != SocketState::Closing)
        RenewSocket();
}

void FrmConnect::RenewSocket() {
    // The new object comes first, so that the socket service keeps running.
    auto fresh = std::make_unique<CSocket>(static_cast<CSocketEvents*>(this));
    Winsock1_->SetOwner(nullptr);
    Winsock1_ = std::move(fresh);
}

void FrmConnect::DropConnection() {
    if (Phase_ == TransferPhase::Releasing)
        Phase_ = TransferPhase::Idle;
    if (Winsock1_->State() == SocketState::Closed)
        return;
    Winsock1_->CloseSocket();
    // A connected socket only started closing; the second call releases it.
    if (Winsock1_->State() == SocketState::Closing)
        Winsock1_->CloseSocket();
    // A broken connection left the error state behind, without a socket.
    if (Winsock1_->State() != SocketState::Closed)
        RenewSocket();
}

// --- Socket events ---

void FrmConnect::OnConnect() {
    if (Queue[0].Server.empty()) {
        Winsock1_->CloseSocket();
        return;
    }
    IdleTicks = 0;
    ResponseText_.clear();
    BodyBytes_ = 0;
    ContentLength_ = 0;
    DeclaredLength_ = 0;
    Body.Abort();
    Phase_ = TransferPhase::Idle;
    SearchFrom = 0;

    std::string request = "GET " + Queue[0].Url + " HTTP/1.0\r\n" + "Host: " + Queue[0].Server +
                          "\r\nAccept: */*\r\nConnection: close\r\n\r\n";
    Winsock1_->SendData(Variant{std::move(request)});

    CurrentFile = Queue[0].File;
    Phase_ = TransferPhase::Requested;
    for (int i = 0; i + 1 < QueueSlots; ++i)
        Queue[i] = std::move(Queue[i + 1]);
    Queue[QueueSlots - 1] = Request{};
}

void FrmConnect::OnDataArrival(int32_t /*bytesTotal*/) {
    Chunk.clear();
    Winsock1_->GetData(Chunk);
    // Data of an abandoned or failed fetch is dropped, and it is no sign of
    // life: it must not hold off the watchdog of the next request.
    if (!InFlight() || Chunk.empty())
        return;
    IdleTicks = 0;
    if (Phase_ == TransferPhase::Requested)
        Phase_ = TransferPhase::Header;
    BodyBytes_ += static_cast<int64_t>(Chunk.size());
    ReceivedBytes_ += static_cast<int64_t>(Chunk.size());

    if (HeaderDone()) {
        TakeBody(Chunk);
        if (!InFlight())
            return;
        if (ContentLength_ > 0) {
            DownPerc = static_cast<double>(BodyBytes_) / static_cast<double>(ContentLength_);
            if (DownPerc < 1.0)
                DownDone = VbFalse;
        }
        return;
    }

    ResponseText_ += Chunk;
    size_t at = ResponseHead::FindBlankLine(ResponseText_, SearchFrom);
    if (at == std::string::npos) {
        size_t size = ResponseText_.size();
        SearchFrom = size >= 3 ? size - 3 : 0;
        if (SearchFrom > MaxHeaderBlock)
            Fail("the response header is larger than 64 KiB");
        return;
    }
    CompleteHeader(at);
}

void FrmConnect::CompleteHeader(size_t at) {
    if (at > MaxHeaderBlock) {
        Fail("the response header is larger than 64 KiB");
        return;
    }
    Phase_ = TransferPhase::Body;
    BodyBytes_ -= static_cast<int64_t>(at + ResponseHead::BlankLine.size());
    std::string_view header(ResponseText_.data(), at);
    ContentLength_ = ResponseHead::ContentLength(header);
    DeclaredLength_ = ResponseHead::DeclaredLength(header);
    std::string_view status = ResponseHead::StatusLine(header);
    if (!ResponseHead::IsSuccessStatus(status)) {
        Fail("the server answered \"" + std::string(status) + "\"");
        return;
    }
    if (CurrentFile.empty()) {
        if (BodyBytes_ > MaxMemoryBody)
            Fail("the response body is larger than 1 MiB");
        return;
    }
    ErrorRecord why;
    if (!Body.Begin(CurrentFile, &why)) {
        if (Files::IsNoSpace(why))
            FailDiskFull("cannot create a file beside " + why.Description);
        else
            Fail("cannot create a file beside " + why.Description);
        return;
    }
    if (!BoundBody())
        return;
    size_t bodyStart = at + ResponseHead::BlankLine.size();
    if (bodyStart < ResponseText_.size()) {
        std::string first = ResponseText_.substr(bodyStart);
        ResponseText_.resize(bodyStart);
        TakeBody(first);
    }
}

void FrmConnect::TakeBody(std::string_view bytes) {
    if (BodyTooLong()) {
        Fail("the body runs more than 1 MiB past its announced length of " +
             std::to_string(std::max(ContentLength_, DeclaredLength_)) + " bytes");
        return;
    }
    if (!CurrentFile.empty()) {
        if (ExpectedLength_ >= 0 && BodyBytes_ > ExpectedLength_) {
            Fail("the body runs past its expected size of " + std::to_string(ExpectedLength_) +
                 " bytes");
            return;
        }
        if (SpaceForBody_ >= 0 && BodyBytes_ > SpaceForBody_) {
            FailDiskFull("the disk is full: " + std::to_string(BodyBytes_) +
                         " bytes of the body would leave less than the free space kept in "
                         "reserve");
            return;
        }
        ErrorRecord why;
        if (Body.Append(bytes, &why))
            return;
        std::string reason =
            "cannot write " + (why.Description.empty() ? CurrentFile : why.Description);
        if (Files::IsNoSpace(why))
            FailDiskFull(std::move(reason));
        else
            Fail(std::move(reason));
        return;
    }
    ResponseText_.append(bytes);
    if (BodyBytes_ > MaxMemoryBody)
        Fail("the response body is larger than 1 MiB");
}

bool FrmConnect::BoundBody() {
    ExpectedLength_ = Body.ExpectedLength();
    if (ExpectedLength_ >= 0 && DeclaredLength_ > 0 && DeclaredLength_ != ExpectedLength_) {
        Fail("the announced length of " + std::to_string(DeclaredLength_) +
             " bytes differs from the expected size of " + std::to_string(ExpectedLength_) +
             " bytes");
        return false;
    }
    SpaceForBody_ = -1;
    int64_t available = 0, size = 0;
    if (Files::FreeSpace(Files::ParentFolder(CurrentFile), available, size)) {
        const int64_t reserve = std::min(FreeSpaceReserve, size / 100 * FreeSpaceReservePercent);
        SpaceForBody_ = std::max<int64_t>(available - reserve, 0);
        const int64_t announced = std::max(DeclaredLength_, ExpectedLength_);
        if (announced > SpaceForBody_) {
            FailDiskFull("the disk is full: the " + std::to_string(announced) +
                         " bytes announced need more than the " + std::to_string(SpaceForBody_) +
                         " bytes free above the reserve");
            return false;
        }
    }
    return true;
}

bool FrmConnect::BodyTooLong() const {
    int64_t announced = std::max(ContentLength_, DeclaredLength_);
    return announced > 0 && BodyBytes_ - announced > MaxBodyExcess;
}

void FrmConnect::OnClose() {
    Winsock1_->CloseSocket();
    // The server has closed the response: a file fetch is stored (or fails)
    // now, and the next request connects from the zero-delay timer, outside
    // this socket's event.
    if (InFlight() && !CurrentFile.empty() && TransferEnded())
        FinishFileFetch();
    DueWork_.SetEnabled(true);
}

void FrmConnect::OnError(int16_t /*Number*/, std::string& Description, int32_t /*Scode*/,
                         const std::string& /*Source*/, const std::string& /*HelpFile*/,
                         int32_t /*HelpContext*/, VbBool& /*CancelDisplay*/) {
    SocketErrorText = Description;
    // A request still queued: its connection could not be made.
    if (!InFlight() && !Queue[0].Server.empty())
        ++ConnectFailures;
    // A connection that broke (reset, timed out) under a transfer settles it
    // now, like any other failed response, instead of on the next tick. The
    // broken socket object is renewed by the next tick, RetrieveHTML or the
    // zero-delay timer of the next request, as it must not go inside its own
    // event.
    if (!InFlight() || !TransferEnded())
        return;
    if (CurrentFile.empty())
        SettleTransfer();
    else
        FinishFileFetch();
}

// --- Ending a fetch ---

bool FrmConnect::InFlight() const {
    return Phase_ == TransferPhase::Requested || Phase_ == TransferPhase::Header ||
           Phase_ == TransferPhase::Body;
}

bool FrmConnect::TransferEnded() const {
    int32_t state = Winsock1_->State();
    return state == SocketState::Closed || state == SocketState::Error;
}

bool FrmConnect::SettleTransfer() {
    if (Winsock1_->State() == SocketState::Error) {
        // A reset after the whole declared body still delivered it all; the
        // broken socket object is renewed as the fetch ends.
        const bool bodyComplete =
            HeaderDone() && DeclaredLength_ > 0 && BodyBytes_ >= DeclaredLength_;
        if (!bodyComplete) {
            Fail("the connection broke" +
                 (SocketErrorText.empty() ? std::string() : " (" + SocketErrorText + ")"));
            return false;
        }
    }
    if (Phase_ == TransferPhase::Requested) {
        Fail("the server closed the connection without answering");
        return false;
    }
    if (!HeaderDone()) {
        Fail("the response has no header block");
        return false;
    }
    if (DeclaredLength_ > 0 && BodyBytes_ < DeclaredLength_) {
        Fail("the connection closed after " + std::to_string(BodyBytes_) + " of " +
             std::to_string(DeclaredLength_) + " announced bytes");
        return false;
    }
    return true;
}

void FrmConnect::Fail(std::string reason) {
    DownFailed = VbTrue;
    DownDone = VbFalse;
    FailureText = std::move(reason);
    Body.Abort();
    CurrentFile.clear();
    EndTransfer();
}

void FrmConnect::FailDiskFull(std::string reason) {
    Fail(std::move(reason));
    DiskFull = VbTrue;
}

void FrmConnect::EndTransfer() {
    Phase_ =
        Winsock1_->State() == SocketState::Closed ? TransferPhase::Idle : TransferPhase::Releasing;
}

std::string FrmConnect::CutBody() const {
    size_t at = ResponseHead::FindBlankLine(ResponseText_);
    if (at == std::string::npos)
        return std::string();
    return ResponseText_.substr(at + ResponseHead::BlankLine.size());
}

} // namespace ostrak
