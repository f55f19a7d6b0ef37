// Servers that misbehave while the install action runs in this process: one
// that vanishes between two files and comes back (the next click repairs),
// one that drips its body a byte every 6 s (never a stall, so it completes,
// however long it takes), and hostile answers that must end in a described
// failure: a retry of the file and, after the last retry, the error exit,
// with memory bounded throughout. Time runs on the movable tick counter.
#include "faults/FaultCase.h"
#include "faults/FaultServer.h"
#include "http/StallRule.h"
#include "platform/Files.h"
#include "platform/Settings.h"
#include "platform/TickCount.h"
#include "support/HttpServers.h"
#include "support/LoopbackPeer.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace ostrak;

namespace {

bool Shown(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

const char* FaultName(FaultServer::Fault fault) {
    using F = FaultServer::Fault;
    switch (fault) {
    case F::EndlessHeader:
        return "endless header";
    case F::EndlessBody:
        return "endless body";
    case F::DripHeader:
        return "dripped header";
    case F::DripWithoutLength:
        return "dripped body without length";
    case F::HugeLength:
        return "length of 2^62 - 1 and an endless body";
    default:
        return "other";
    }
}

int CountPrefix(const std::vector<std::string>& texts, const std::string& prefix) {
    return static_cast<int>(std::count_if(
        texts.begin(), texts.end(), [&](const std::string& t) { return t.rfind(prefix, 0) == 0; }));
}

class Servers : public FaultCase {};

TEST_F(Servers, VanishingBetweenFilesThenBackTheNextClickRepairs) {
    auto python = std::make_unique<PythonHttpServer>(Release.Path());
    const int port = python->Port();
    Server = python->Address();
    frmSplash window;
    Load(window);
    PlanFolder(Game);
    Dialogs.ExpectMsgBox(ErrorText, vbCritical + vbOKOnly, "Connection error!", vbOK, [&] {
        StopClock();
        python = std::make_unique<PythonHttpServer>(Release.Path(), port);
    });
    FastClock();
    // The server goes as soon as the executable is in place.
    Click(&window, [&](const std::string& text) {
        if (text == "Download of ostrak.exe done!")
            python->Stop();
    });
    ASSERT_TRUE(Shown(FileTexts, "Download of ostrak.exe done!"));
    EXPECT_EQ(window.FileText(), "Failure (a.pak)!");
    EXPECT_EQ(CountPrefix(FileTexts, "Failure (a.pak), retrying... ("), 10);
    EXPECT_EQ(Names(Game), (std::vector<std::string>{"dta.lst", "ostrak.exe"}));
    EXPECT_TRUE(Temporaries(Game).empty());
    EXPECT_EQ(EndCount, 0);
    EXPECT_EQ(window.Busy, VbFalse);

    FileTexts.clear();
    PlanFolder(Game, false);
    PlanSuccess();
    Click(&window);
    EXPECT_EQ(EndCount, 1);
    EXPECT_EQ(Names(Game), InstallFolderFiles());
    ExpectServedCopies(Game, InstallFolderFiles());
    // Only what was missing came again.
    EXPECT_EQ(python->RequestedPaths(),
              (std::vector<std::string>{"/crc/index.php?h=3", "/crc/dta.lst", "/crc/a.pak",
                                        "/crc/b.pak", "/crc/CGZipLibrary.dll", "/crc/gdiplus.dll",
                                        "/crc/Unzip32.dll"}));
}

TEST_F(Servers, DripOfTheBodyEverySixSecondsIsRetriedAsAStallAfterItsWindow) {
    const std::string slow = "a body that arrives one byte every six seconds";
    Publish({{"a.pak", slow}});
    FaultServer server(Release.Path());
    Server = server.Address();
    server.SetFault("/crc/a.pak", FaultServer::Fault::Drip, 1);
    PlanFolder(Game);
    PlanSuccess();
    // While a.pak runs, the counter moves 1 s every 5 ms, and six seconds
    // after the installer has seen a byte the server lets the next one go;
    // the counter then waits until the installer has seen that byte.
    uint32_t started = 0, sinceSeen = 0;
    bool pending = false;
    int frozenMoves = 0;
    const auto pace = [&] {
        if (pending && ++frozenMoves < 400)
            return false; // waiting for the byte (at most 2 s, then a stall shows it)
        sinceSeen += 1000;
        if (sinceSeen >= 6000) {
            sinceSeen = 0;
            pending = true;
            frozenMoves = 0;
            server.Allow(1);
        }
        return true;
    };
    uint32_t firstRetry = 0;
    Click(nullptr, [&](const std::string& text) {
        if (text == "Download of a.pak done!")
            StopClock();
        if (text == "Failure (a.pak), retrying... (1)")
            firstRetry = TickCount();
        if (text.rfind("Downloading a.pak, ", 0) != 0)
            return;
        if (started == 0) {
            started = TickCount();
            FastClock(pace, 1000);
        }
        pending = false;
        sinceSeen = 0;
    });
    // The drip never stands still for 7 s, but moves far less than 256
    // bytes/s over 30 s: the rate ends the first attempt, and a later one
    // (the server serves one connection at a time) gets it whole.
    EXPECT_EQ(EndCount, 1);
    EXPECT_GE(ElapsedTicks(started, firstRetry), StallRule::RateWindowMs);
    EXPECT_LT(ElapsedTicks(started, firstRetry), StallRule::RateWindowMs + 6000);
    ExpectServedCopies(Game, InstallFolderFiles());
}

// Each hostile answer, given to every request of one path: the described
// failure is a retry of that request and, after the last, the error exit with
// the failure text of the file; nothing of it reaches the disk and memory
// stays bounded. The version text has 4 attempts, a file 11.
TEST_F(Servers, HostileAnswersEndInRetriesThenTheErrorExit) {
    using F = FaultServer::Fault;
    const std::vector<F> tenNotFound(10, F::NotFound);
    std::vector<F> lastEndless = tenNotFound;
    lastEndless.push_back(F::EndlessBody);
    const struct {
        std::vector<F> Faults;
        const char* Path;
        const char* Name;
        int MaxAttempts;
        int Retries; // "retrying..." texts on the file line
        const char* Box = "Connection error!";
    } cases[] = {
        {{100, F::EndlessHeader}, "/crc/index.php?h=3", "index.php", 4, 0},
        {{100, F::EndlessBody}, "/crc/index.php?h=3", "index.php", 4, 0},
        {{100, F::EndlessHeader}, "/crc/dta.lst", "dta.lst", 11, 10},
        {{100, F::EndlessBody}, "/crc/dta.lst", "dta.lst", 11, 10},
        {{100, F::DripHeader}, "/crc/a.pak", "a.pak", 11, 10},
        {{100, F::DripWithoutLength}, "/crc/a.pak", "a.pak", 11, 10},
        // Only the last attempt meets the endless body, which is still
        // arriving when the action gives up.
        {lastEndless, "/crc/a.pak", "a.pak", 11, 10},
        // A length that no disk holds: the disk is full, and no retry helps.
        {{100, F::HugeLength}, "/crc/a.pak", "a.pak", 1, 0, "Disk full!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Path) + ", " + FaultName(c.Faults.back()));
        Files::RemoveTree(Game);
        FileTexts.clear();
        FaultServer server(Release.Path());
        Server = server.Address();
        server.SetFaults(c.Path, c.Faults);
        SaveSetting(frmSplash::SettingsApplication, frmSplash::SettingsSection, "DoMu", "1");
        PlanFolder(Game, false);
        if (std::string(c.Box) == "Disk full!")
            Dialogs.ExpectMsgBox("Error: The disk is full!\r\nPlease make room on the disk that "
                                 "holds " +
                                     Game + ", then try again.",
                                 vbCritical + vbOKOnly, c.Box, vbOK);
        else
            PlanErrorExit();
        // A dripping server lets a byte go every 6 s of the counter.
        int moves = 0;
        FastClock([&] {
            if (++moves % 60 == 0)
                server.Allow(1);
            return true;
        });
        // The window stays open after the error exit, as it does for the player.
        frmSplash window;
        Load(window);
        Click(&window);
        StopClock();
        EXPECT_EQ(EndCount, 0);
        EXPECT_EQ(FileTexts.back(), std::string("Failure (") + c.Name + ")!");
        EXPECT_EQ(CountPrefix(FileTexts, std::string("Failure (") + c.Name + "), retrying... ("),
                  c.Retries);
        const std::vector<std::string> asked = server.Requests();
        const auto attempts = std::count(asked.begin(), asked.end(), c.Path);
        EXPECT_GE(attempts, c.MaxAttempts == 1 ? 1 : 2);
        EXPECT_LE(attempts, c.MaxAttempts);
        // The action is over: nothing of the abandoned answer goes on
        // arriving or reaches the disk.
        RunEventsFor(100);
        const int64_t sent = server.BytesSent();
        RunEventsFor(200);
        EXPECT_EQ(server.BytesSent(), sent);
        EXPECT_FALSE(Files::Exists(Game + "/" + c.Name));
        EXPECT_TRUE(Temporaries(Game).empty());
        EXPECT_LT(RssGrowthKiB(), 16 * 1024) << "bytes sent: " << server.BytesSent();
        std::printf("[ figures  ] %s, %s%s: %d requests, %lld bytes sent, memory in use +%ld KiB\n",
                    c.Path, c.Faults.size() == 11 ? "10 x 404 then " : "",
                    FaultName(c.Faults.back()), static_cast<int>(attempts),
                    static_cast<long long>(server.BytesSent()), RssGrowthKiB());
    }
}

} // namespace
