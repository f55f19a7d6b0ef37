#include "installer/ServerConfig.h"

#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

using namespace ostrak;

TEST(ServerConfig, ParsesHostAndOptionalPort) {
    struct Case {
        const char* Text;
        bool Ok;
        const char* Host;
        int Port;
    } cases[] = {
        {"127.0.0.1:8080", true, "127.0.0.1", 8080},
        {"files.example.org", true, "files.example.org", 80},
        {"localhost:65535", true, "localhost", 65535},
        {"h:1", true, "h", 1},
        {"", false, "", 0},
        {":8080", false, "", 0},
        {"host:", false, "", 0},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:80800", false, "", 0},
        {"host:8o", false, "", 0},
        {"host:-1", false, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        ServerAddress out{"unchanged", 1234};
        EXPECT_EQ(ParseServerAddress(c.Text, out), c.Ok);
        if (c.Ok) {
            EXPECT_EQ(out.Host, c.Host);
            EXPECT_EQ(out.Port, c.Port);
        } else {
            EXPECT_EQ(out.Host, "unchanged");
            EXPECT_EQ(out.Port, 1234);
        }
    }
}

TEST(ServerConfig, EnvironmentOverridesTheBuiltInHost) {
    ScopedEnv env;
    env.Set("OSTRAK_SERVER", "127.0.0.1:8080");
    ServerAddress a = ConfiguredServer();
    EXPECT_EQ(a.Host, "127.0.0.1");
    EXPECT_EQ(a.Port, 8080);

    env.Set("OSTRAK_SERVER", "127.0.0.1:80800");
    testing::internal::CaptureStderr();
    ServerAddress b = ConfiguredServer();
    std::string warning = testing::internal::GetCapturedStderr();
    EXPECT_EQ(b.Host, BuiltInServerHost());
    EXPECT_EQ(b.Port, 80);
    EXPECT_NE(warning.find("OSTRAK_SERVER"), std::string::npos);

    env.Set("OSTRAK_SERVER", std::nullopt);
    ServerAddress c = ConfiguredServer();
    EXPECT_EQ(c.Host, BuiltInServerHost());
    EXPECT_EQ(c.Port, 80);
}
