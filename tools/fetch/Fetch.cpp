#include "Fetch.h"

#include "Printable.h"
#include "Progress.h"
#include "http/FrmConnect.h"
#include "http/StallRule.h"
#include "platform/EventLoop.h"
#include "platform/TickCount.h"
#include "runtime/ErrorRecord.h"

#include <ostream>

namespace ostrak {

namespace {

// How long one wait for events may block before the flags are read again.
constexpr uint32_t PollMs = 100;

std::string SocketHint(const FrmConnect& form) {
    return form.SocketErrorText.empty()
               ? std::string()
               : " (last socket error: " + Printable(form.SocketErrorText) + ")";
}

} // namespace

int FetchToFile(const FetchTarget& target, const std::string& file, std::ostream& progress,
                BodyObserver* observer) {
    FrmConnect form;
    form.Port = target.Port;
    form.SetBodyObserver(observer);
    ProgressLine line(progress);
    bool warnedNoLength = false;
    for (int retries = 0;; ++retries) {
        const int32_t connectFailures = form.ConnectFailures;
        form.RetrieveFile(target.Host, target.Path, file);
        line.Reset();
        double last = -1;
        uint32_t stallStart = TickCount();
        StallRule::RateWatch rate;
        rate.Start(stallStart, form.ReceivedBytes());
        std::string why = "no progress for " + std::to_string(StallRule::StallMs / 1000) + " s";
        for (;;) {
            if (IsTrue(form.DownDone)) {
                line.Update(form.BodyBytes(), form.ContentLength(), TickCount());
                progress << "ostrak_fetch: stored " << form.BodyBytes() << " bytes in " << file
                         << "\n";
                return 0;
            }
            if (IsTrue(form.DownFailed)) {
                progress << "ostrak_fetch: failed: " << Printable(form.FailureText) << "\n";
                return 1;
            }
            if (form.ConnectFailures != connectFailures) {
                why = "cannot connect";
                break;
            }
            WaitForEvents(PollMs);
            uint32_t now = TickCount();
            if (!IsTrue(form.DownFailed) && (form.ContentLength() > 0 || form.BodyBytes() > 0))
                line.Update(form.BodyBytes(), form.ContentLength(), now);
            if (!warnedNoLength && form.ContentLength() == 0 &&
                form.ResponseText().find("\r\n\r\n") != std::string::npos) {
                warnedNoLength = true;
                progress << "ostrak_fetch: warning: the server announced no Content-Length; "
                            "the installer gives such a transfer "
                         << StallRule::StallMs / 1000 << " s\n";
            }
            double p = form.DownPerc;
            if (p != last) {
                stallStart = now;
                last = form.DownPerc;
                continue;
            }
            if (StallRule::Stalled(stallStart, now))
                break;
            if (rate.TooSlow(now, form.ReceivedBytes())) {
                why = "slower than 256 bytes/s for 30 s";
                break;
            }
        }
        if (retries + 1 > StallRule::MaxRetries) {
            progress << "ostrak_fetch: failed: " << why << ", " << StallRule::MaxRetries + 1
                     << " times" << SocketHint(form) << "\n";
            return 1;
        }
        progress << "ostrak_fetch: " << why << ", retrying (" << retries + 1 << ")"
                 << SocketHint(form) << "\n";
        if (form.ConnectFailures != connectFailures)
            WaitTicks(FrmConnect::RetrieveHTMLPauseMs);
        form.CloseConnections();
    }
}

int FetchToStream(const FetchTarget& target, std::ostream& out, std::ostream& progress) {
    FrmConnect form;
    form.Port = target.Port;
    std::optional<std::string> body;
    try {
        body = form.RetrieveHTML(target.Host, target.Path);
    } catch (const VbError& e) {
        progress << "ostrak_fetch: failed: " << Printable(e.Record.Description) << " ("
                 << Printable(e.Record.Source) << ")\n";
        return 1;
    }
    if (!body) {
        progress << "ostrak_fetch: failed after " << FrmConnect::RetrieveHTMLAttempts
                 << " attempts: " << Printable(form.FailureText) << SocketHint(form) << "\n";
        return 1;
    }
    out.write(body->data(), static_cast<std::streamsize>(body->size()));
    out.flush();
    return out ? 0 : 1;
}

} // namespace ostrak
