// The socket error texts: the whole table, its gaps, and the start-up texts.
#include <gtest/gtest.h>

#include "sockets/MSocketSupport.h"

using namespace ostrak;

namespace {

using MSocketSupport::GetErrorDescription;

TEST(ErrorText, EveryListedCode) {
    const std::pair<int32_t, const char*> table[] = {
        {10004, "Interrupted function call."},
        {10013, "Permission denied."},
        {10014, "Bad address."},
        {10022, "Invalid argument."},
        {10024, "Too many open files."},
        {10035, "Resource temporarily unavailable."},
        {10036, "Operation now in progress."},
        {10037, "Operation already in progress."},
        {10038, "Socket operation on nonsocket."},
        {10039, "Destination address required."},
        {10040, "Message too long."},
        {10041, "Protocol wrong type for socket."},
        {10042, "Bad protocol option."},
        {10043, "Protocol not supported."},
        {10044, "Socket type not supported."},
        {10045, "Operation not supported."},
        {10046, "Protocol family not supported."},
        {10047, "Address family not supported by protocol family."},
        {10048, "Address already in use."},
        {10049, "Cannot assign requested address."},
        {10050, "Network is down."},
        {10051, "Network is unreachable."},
        {10052, "Network dropped connection on reset."},
        {10053, "Software caused connection abort."},
        {10054, "Connection reset by peer."},
        {10055, "No buffer space available."},
        {10056, "Socket is already connected."},
        {10057, "Socket is not connected."},
        {10058, "Cannot send after socket shutdown."},
        {10060, "Connection timed out."},
        {10061, "Connection refused."},
        {10064, "Host is down."},
        {10065, "No route to host."},
        {10067, "Too many processes."},
        {10091, "Network subsystem is unavailable."},
        {10092, "Winsock.dll version out of range."},
        {10093, "Successful WSAStartup not yet performed."},
        {10101, "Graceful shutdown in progress."},
        {10107, "System call failure."},
        {10109, "Class type not found."},
        {11001, "Host not found."},
        {11002, "Nonauthoritative host not found."},
        {11003, "This is a nonrecoverable error."},
        {11004, "Valid name, no data record of requested type."},
    };
    int listed = 0;
    for (const auto& [code, text] : table) {
        EXPECT_EQ(GetErrorDescription(code), text) << code;
        ++listed;
    }
    // Every other code of the whole range is unlisted.
    int known = 0;
    for (int32_t code = 10000; code <= 11010; ++code)
        if (GetErrorDescription(code) != "Unknown error.")
            ++known;
    EXPECT_EQ(known, listed);
}

TEST(ErrorText, GapsAndOtherCodesAreUnknown) {
    std::vector<int32_t> codes = {10059, 10062, 10063, 10066, 0,     -1,    -10035,
                                  6,     10000, 10003, 10110, 11000, 11005, 65535};
    for (int32_t c = 10068; c <= 10090; ++c)
        codes.push_back(c);
    for (int32_t code : codes)
        EXPECT_EQ(GetErrorDescription(code), "Unknown error.") << code;
}

TEST(ErrorText, StartupTextsAreTheLongerOnes) {
    using MSocketSupport::StartupErrorDescription;
    EXPECT_EQ(StartupErrorDescription(10022),
              "The Windows Sockets version specified by the application is not supported by "
              "this DLL.");
    EXPECT_EQ(StartupErrorDescription(10091),
              "The underlying network subsystem is not ready for network communication.");
    EXPECT_EQ(StartupErrorDescription(10092),
              "The version of Windows Sockets API support requested is not provided by this "
              "particular Windows Sockets implementation.");
    EXPECT_EQ(StartupErrorDescription(10093), "");
    EXPECT_EQ(GetErrorDescription(10091), "Network subsystem is unavailable.");
}

} // namespace
