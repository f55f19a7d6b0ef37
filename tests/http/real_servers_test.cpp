// Whole fetches from python3's http.server and from nginx, with Timer1
// running by itself as in the installer.
#include "FormDriver.h"
#include "http/RequestPath.h"
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

// Files of each size, then files under names that must be percent-encoded
// (encoded: what the server must decode to the same bytes).
void FetchSizes(ServerProcess& server, TempDir& site, std::vector<std::string> encoded = {}) {
    const size_t sizes[] = {0, 1, 4, 65535, 65536 + 7, 3 * 1024 * 1024 + 1};
    std::vector<std::pair<std::string, size_t>> files;
    for (size_t size : sizes)
        files.emplace_back("file" + std::to_string(size) + ".bin", size);
    encoded.insert(encoded.end(), {"caf\xC3\xA9 #1?.bin", "two words%20.bin"});
    for (const std::string& name : encoded)
        files.emplace_back(name, name.size());
    TempDir dir;
    FrmConnect form;
    form.Port = server.Port();
    for (const auto& [name, size] : files) {
        SCOPED_TRACE(name);
        std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
        site.Write(name, bytes);
        form.RetrieveFile("127.0.0.1", "/" + EncodeFileName(name), dir.File(name));
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
    // nginx also serves a name that is not UTF-8 (python decodes paths as UTF-8).
    FetchSizes(server, site, {"caf\xE9.bin"});
    FrmConnect form;
    form.Port = server.Port();
    site.Write("index.php", "42");
    std::optional<std::string> body = form.RetrieveHTML("127.0.0.1", "/index.php");
    ASSERT_TRUE(body.has_value()) << form.FailureText;
    EXPECT_EQ(*body, "42");
}

} // namespace
