// FrmConnect::RetrieveHTML: the fetch that the caller waits for.
#include "http/FrmConnect.h"

#include "platform/EventLoop.h"
#include "platform/TickCount.h"
#include "runtime/Program.h"

#include <algorithm>

namespace ostrak {

std::optional<std::string> FrmConnect::RetrieveHTML(const std::string& Server,
                                                    const std::string& Url) {
    // Longest single wait, so that the tick counter is read at least this often.
    constexpr uint32_t WaitSliceMs = 100;
    for (int attempt = 1; attempt <= RetrieveHTMLAttempts; ++attempt) {
        if (ProgramEnded())
            return std::nullopt;
        DownDone = VbFalse;
        DownPerc = 0;
        DownFailed = VbFalse;
        FailureText.clear();
        const int32_t connectFailures = ConnectFailures;
        Enqueue(Server, Url, "");
        ServiceStep();

        uint32_t start = TickCount();
        for (;;) {
            if (InFlight() && CurrentFile.empty() && Queue[0].Server.empty() && TransferEnded()) {
                if (SettleTransfer()) {
                    EndTransfer();
                    if (Phase_ == TransferPhase::Releasing)
                        DropConnection();
                    ResponseText_ = CutBody();
                    return ResponseText_;
                }
                break;
            }
            if (IsTrue(DownFailed))
                break;
            if (ConnectFailures != connectFailures) {
                FailureText = "cannot connect (" + SocketErrorText + ")";
                break;
            }
            uint32_t elapsed = ElapsedTicks(start, TickCount());
            if (elapsed > RetrieveHTMLWaitMs) {
                FailureText = "no complete answer within 15 s";
                break;
            }
            WaitForEvents(std::min(RetrieveHTMLWaitMs + 1 - elapsed, WaitSliceMs));
            // The exit path may have run inside the wait and unloaded this
            // object: nothing of it may be touched any more.
            if (ProgramEnded())
                return std::nullopt;
        }
        if (Phase_ == TransferPhase::Releasing)
            DropConnection();
        CloseConnections();
        if (attempt < RetrieveHTMLAttempts) {
            // A copy: the pause may outlive this object (see above).
            const std::function<void(int32_t)> pause = Pause;
            pause(RetrieveHTMLPauseMs);
            if (ProgramEnded())
                return std::nullopt;
        }
    }
    DownFailed = VbTrue;
    return std::nullopt;
}

} // namespace ostrak
