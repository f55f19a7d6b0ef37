// The published tree, served by a real HTTP server, gives the installer
// exactly the source files, the version text and the list.
#include "ReleaseTool.h"
#include "support/HttpFetch.h"
#include "support/HttpServers.h"

#include <gtest/gtest.h>

using namespace ostrak;

TEST(ReleaseServed, ByteIdenticalOverHttp) {
    TempDir source, out;
    WriteFixedFiles(source);
    source.Write("level1.pak", RandomBytes(3 << 20, 7));
    source.Write("music1.ogg", RandomBytes(70000, 8));
    source.Write("readme.txt", "Ostrak\r\n\r\nThe Amber Reach\n");
    ASSERT_EQ(RunRelease({source.Path(), out.Path(), "--seed", "99"}).ExitCode, 0);

    PythonHttpServer server(out.Path());
    ASSERT_NE(server.Port(), 0) << "the HTTP server did not start";

    for (const std::string& name : FolderNames(source.Path())) {
        const HttpReply reply = HttpGet(server.Port(), "/crc/" + name);
        ASSERT_TRUE(reply.Ok) << name;
        EXPECT_NE(reply.Status.find(" 200 "), std::string::npos) << reply.Status;
        EXPECT_TRUE(reply.Body == TempDir::Read(source.File(name))) << name << " differs";
    }
    const HttpReply version = HttpGet(server.Port(), "/crc/index.php?h=3");
    ASSERT_TRUE(version.Ok);
    EXPECT_EQ(version.Body, CrcText(TempDir::Read(source.File("ostrak.exe"))));
    const HttpReply list = HttpGet(server.Port(), "/crc/dta.lst");
    ASSERT_TRUE(list.Ok);
    EXPECT_EQ(list.Body, TempDir::Read(out.File("crc/dta.lst")));
    // An installed copy keeps a list whose checksum text is the version text;
    // this one differs, so every run fetches it.
    EXPECT_NE(CrcText(list.Body), version.Body);
}
