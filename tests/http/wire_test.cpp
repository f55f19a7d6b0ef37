// What goes over the wire, and to which port.
#include "FormDriver.h"
#include "support/ScriptedHttpPeer.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace ostrak;

namespace {

using Peer = ScriptedHttpPeer;

TEST(Wire, RequestIsExactlyTheseBytes) {
    Peer peer({Peer::Answer(Response("Content-Length: 2\r\n", "ok"))});
    TempDir dir;
    FormDriver d(peer.Port());
    d.Form.RetrieveFile("127.0.0.1", "/crc/index.php?h=3&x=%41 b", dir.File("v.txt"));
    ASSERT_TRUE(d.TickUntilSettled());
    ASSERT_EQ(peer.Requests().size(), 1u);
    // The path goes out unchanged; the Host header carries no port.
    EXPECT_EQ(peer.Requests()[0], "GET /crc/index.php?h=3&x=%41 b HTTP/1.0\r\n"
                                  "Host: 127.0.0.1\r\n"
                                  "Accept: */*\r\n"
                                  "Connection: close\r\n\r\n");
}

TEST(Wire, PortIs80UntilTheOwnerSetsAnother) {
    EXPECT_EQ(FrmConnect().Port, 80);
}

TEST(Wire, CaptionAndTimer) {
    FrmConnect form;
    EXPECT_STREQ(FrmConnect::Caption, "HTTP Connect Form for Ostrak");
    EXPECT_TRUE(form.Timer1.Enabled());
    EXPECT_EQ(form.Timer1.Interval(), 100u);
}

} // namespace
