// Whole fetches from python3's http.server and from nginx, with Timer1
// running by itself as in the installer.
#include "FormDriver.h"
#include "platform/TickCount.h"
#include "support/HttpServers.h"

#include <gtest/gtest.h>
#include <random>

using namespace ostrak;

namespace {

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(gen() & 0xFF);
    return s;
}

// Waits (letting events run) until the fetch is stored or has failed.
bool WaitSettled(FrmConnect& form, uint32_t limitMs = 10000) {
    uint32_t start = TickCount();
    while (!IsTrue(form.DownDone) && !IsTrue(form.DownFailed)) {
        if (ElapsedTicks(start, TickCount()) > limitMs)
            return false;
        WaitForEvents(50);
    }
    return true;
}

void FetchSizes(ServerProcess& server, TempDir& site) {
    const size_t sizes[] = {0, 1, 4, 65535, 65536 + 7, 3 * 1024 * 1024 + 1};
    TempDir dir;
    FrmConnect form;
    form.Port = server.Port();
    for (size_t size : sizes) {
        SCOPED_TRACE(size);
        std::string name = "file" + std::to_string(size) + ".bin";
        std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
        site.Write(name, bytes);
        form.RetrieveFile("127.0.0.1", "/" + name, dir.File(name));
        ASSERT_TRUE(WaitSettled(form));
        ASSERT_TRUE(IsTrue(form.DownDone)) << form.FailureText;
        EXPECT_EQ(TempDir::Read(dir.File(name)), bytes);
        EXPECT_EQ(form.ContentLength(), static_cast<int64_t>(size));
        if (size > 100000) {
            EXPECT_DOUBLE_EQ(form.DownPerc, 1.0);
        }
    }
    form.RetrieveFile("127.0.0.1", "/missing.bin", dir.File("missing.bin"));
    ASSERT_TRUE(WaitSettled(form));
    EXPECT_TRUE(IsTrue(form.DownFailed));
    EXPECT_NE(form.FailureText.find("404"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.bin")));
}

TEST(RealServers, PythonHttpServer) {
    TempDir site;
    PythonHttpServer server(site.Path());
    FetchSizes(server, site);
}

TEST(RealServers, Nginx) {
    if (!NginxAvailable())
        GTEST_SKIP() << "nginx is not installed";
    TempDir site;
    NginxServer server(site.Path());
    FetchSizes(server, site);
    FrmConnect form;
    form.Port = server.Port();
    site.Write("index.php", "42");
    std::optional<std::string> body = form.RetrieveHTML("127.0.0.1", "/index.php");
    ASSERT_TRUE(body.has_value()) << form.FailureText;
    EXPECT_EQ(*body, "42");
}

} // namespace
