#pragma once
// Asynchronous host-name resolution in the manner of WSAAsyncGetHostByName:
// the lookup (IPv4, with the official name) runs on a worker thread; its
// answer is written into the caller's buffer as a HostEnt record and a
// message is posted to the window: wParam = request handle, lParam = error
// code in the high 16 bits (0 on success) and the needed size in the low 16.
// The buffer is written on the user-interface thread just before the message
// is delivered, so the caller may read it in its window procedure. Request
// handles are non-zero and never reused within a run. Answers are kept and
// lookups under way are joined (HostLookup.h); a kept answer is still
// delivered as a message, never inside the call.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "winsock/MessageWindow.h"

namespace ostrak {

// The host entry record at the start of an answer buffer. Its pointers point
// into the same buffer.
struct HostEnt {
    char* h_name;
    char** h_aliases;
    int16_t h_addrtype;
    int16_t h_length;
    char** h_addr_list;
};

// An answer buffer of 1024 bytes; shared so that it stays valid while a
// lookup may still answer into it.
struct HostEntBuffer {
    alignas(HostEnt) std::array<char, 1024> Bytes{};
    HostEnt* Entry() { return reinterpret_cast<HostEnt*>(Bytes.data()); }
};

// Starts the lookup; returns the request handle, or 0 with WsGetLastError().
int32_t WsAsyncGetHostByName(WindowHandle window, uint32_t message, const std::string& name,
                             std::shared_ptr<HostEntBuffer> buffer);
// Lookups started whose answers have not been delivered yet (for tests).
int32_t WsPendingLookups();

} // namespace ostrak
