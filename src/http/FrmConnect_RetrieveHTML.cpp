// FrmConnect::RetrieveHTML: the fetch that the caller waits for.
#include "http/FrmConnect.h"

#include "platform/EventLoop.h"
#include "platform/TickCount.h"

#include <algorithm>

std::optional<std::string> FrmConnect::RetrieveHTML(const std::string& Server,
                                                    const std::string& Url) {
    // Longest single wait, so that the tick counter is read at least this often.
    constexpr uint32_t WaitSliceMs = 100;
    for (int attempt = 1; attempt <= RetrieveHTMLAttempts; ++attempt) {
        DownDone = False;
        DownPerc = 0;
        DownFailed = False;
        FailureText.clear();
        Enqueue(Server, Url, "");
        ServiceStep();

        uint32_t start = GetTickCount();
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
            uint32_t elapsed = ElapsedTicks(start, GetTickCount());
            if (elapsed > RetrieveHTMLWaitMs) {
                FailureText = "no complete answer within 15 s";
                break;
            }
            WaitForEvents(std::min(RetrieveHTMLWaitMs + 1 - elapsed, WaitSliceMs));
        }
        if (Phase_ == TransferPhase::Releasing)
            DropConnection();
        CloseConnections();
        if (attempt < RetrieveHTMLAttempts)
            Pause(RetrieveHTMLPauseMs);
    }
    DownFailed = True;
    return std::nullopt;
}
