// The whole response path of FrmConnect: a real loopback connection whose
// peer, written here, answers the request with a fuzzer-chosen byte stream
// cut into fuzzer-chosen pieces (each piece is read by the client before the
// next is sent), timer ticks between pieces, and a close or a reset at the
// end. Ticks are called by hand; nothing waits on real time.
//
// Input: a flags byte (1: the target holds an old file, 2: the peer resets
// instead of closing, 4: an in-memory fetch, 8: a fetch that RetrieveHTML
// waits for, its attempts answered by a peer thread), then items: 0 = a tick, 1 r =
// the previous piece again (r + 1) * 16 times (to reach the size limits),
// n >= 2 = a piece of the next n - 1 bytes.
//
// Properties: the request is exactly the one the client must send; a file
// fetch settles as stored or failed within a few ticks of the close, never
// both; it is stored exactly when the stream is a complete, acceptable
// response (a header block within 64 KiB, a 2xx status, the declared length
// reached, at most 1 MiB past the announced length, a reset only after the
// whole declared body), and then the file equals the body byte for byte;
// otherwise the target is as it was, and no temporary file is left beside it.
// An in-memory fetch keeps the whole response unless it failed, and fails
// only for a response that is not acceptable. RetrieveHTML returns the body of
// an acceptable response after one connection, and gives up after its
// attempts otherwise.
#include "FuzzCheck.h"
#include "http/FrmConnect.h"
#include "http/ResponseHead.h"

#include <QCoreApplication>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fstream>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace ostrak;

namespace {

constexpr int MaxRounds = 200000;
const std::string OldContent = "the old file";

struct Fixture {
    int Listener = -1;
    uint16_t Port = 0;
    std::string Folder;
    std::string Target;
};
Fixture* Env = nullptr;

void RunEvents() {
    QCoreApplication::processEvents();
}

// Lets events run until done() holds; a bounded number of rounds.
template <class F> bool PumpUntil(F done) {
    for (int i = 0; i < MaxRounds; ++i) {
        if (done())
            return true;
        RunEvents();
    }
    return done();
}

// The client has taken every byte the peer sent (or let go of its socket):
// nothing waits in the peer's send queue or the client's receive queue.
bool ClientDrained(int peer, FrmConnect& form) {
    const int fd = form.Winsock1().SocketHandle();
    if (fd == -1)
        return true;
    int unsent = 0;
    if (ioctl(peer, TIOCOUTQ, &unsent) == 0 && unsent > 0)
        return false;
    int pending = 0;
    return ioctl(fd, FIONREAD, &pending) != 0 || pending == 0;
}

// Sends bytes, letting the client read meanwhile; false once the connection
// is gone.
bool SendPiece(int peer, FrmConnect& form, const std::string& bytes) {
    size_t sent = 0;
    int rounds = 0;
    while (sent < bytes.size()) {
        ssize_t n =
            send(peer, bytes.data() + sent, bytes.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        FUZZ_CHECK(++rounds < MaxRounds, "the client keeps reading");
        RunEvents();
    }
    FUZZ_CHECK(PumpUntil([&] { return ClientDrained(peer, form); }), "the client reads each piece");
    return true;
}

std::string ReadRequest(int peer) {
    std::string request;
    char buffer[512];
    FUZZ_CHECK(PumpUntil([&] {
                   ssize_t n = recv(peer, buffer, sizeof buffer, MSG_DONTWAIT);
                   if (n > 0)
                       request.append(buffer, static_cast<size_t>(n));
                   return request.find("\r\n\r\n") != std::string::npos || n == 0;
               }),
               "the request arrives");
    return request;
}

int AcceptPeer() {
    pollfd p{Env->Listener, POLLIN, 0};
    FUZZ_CHECK(poll(&p, 1, 5000) == 1, "the client connects");
    int peer = accept(Env->Listener, nullptr, nullptr);
    FUZZ_CHECK(peer >= 0, "the connection is accepted");
    return peer;
}

void EndConnection(int peer, bool reset) {
    if (reset) {
        linger l{1, 0};
        setsockopt(peer, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    } else {
        shutdown(peer, SHUT_WR);
    }
    close(peer);
}

bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    std::ostringstream s;
    s << f.rdbuf();
    out = s.str();
    return true;
}

std::vector<std::string> FolderEntries() {
    std::vector<std::string> names;
    DIR* d = opendir(Env->Folder.c_str());
    FUZZ_CHECK(d != nullptr, "the folder exists");
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(d);
    return names;
}

enum class Fetch { File, Url, Html };

// Whether the stream is a response the client must accept, and its body.
bool Acceptable(const std::string& stream, bool reset, Fetch fetch, std::string& body) {
    const size_t blank = stream.find("\r\n\r\n");
    if (blank == std::string::npos || blank > FrmConnect::MaxHeaderBlock)
        return false;
    const std::string_view header(stream.data(), blank);
    body = stream.substr(blank + 4);
    const int64_t length = static_cast<int64_t>(body.size());
    const int64_t declared = ResponseHead::DeclaredLength(header);
    const int64_t announced = std::max(ResponseHead::ContentLength(header), declared);
    if (!ResponseHead::IsSuccessStatus(ResponseHead::StatusLine(header)))
        return false;
    if (announced > 0 && length - announced > FrmConnect::MaxBodyExcess)
        return false;
    if (fetch != Fetch::File && length > FrmConnect::MaxMemoryBody)
        return false;
    if (fetch == Fetch::Url)
        return true;
    if (declared > 0 && length < declared)
        return false;
    return !reset || (declared > 0 && length >= declared);
}

// The input's items after the flags byte: a tick (empty bytes) or a piece.
struct Item {
    bool Tick = false;
    std::string Bytes;
};

std::vector<Item> Items(const uint8_t* data, size_t size) {
    std::vector<Item> items;
    std::string piece;
    for (size_t i = 0; i < size;) {
        const uint8_t item = data[i++];
        if (item == 0) {
            items.push_back({true, {}});
            continue;
        }
        std::string bytes;
        if (item == 1) {
            const int times = (i < size ? data[i++] + 1 : 1) * 16;
            for (int k = 0; k < times; ++k)
                bytes += piece;
        } else {
            piece.assign(reinterpret_cast<const char*>(data + i),
                         std::min<size_t>(item - 1, size - i));
            i += piece.size();
            bytes = piece;
        }
        if (!bytes.empty())
            items.push_back({false, std::move(bytes)});
    }
    return items;
}

// RetrieveHTML waits inside: a peer thread answers each of its attempts with
// the same pieces (sent as they come; the system may join them).
std::optional<std::string> RetrieveHtml(FrmConnect& form, const std::vector<Item>& items,
                                        bool reset, int& connections) {
    std::atomic<bool> stop{false};
    std::thread peer([&] {
        while (!stop.load()) {
            pollfd p{Env->Listener, POLLIN, 0};
            if (poll(&p, 1, 20) != 1)
                continue;
            const int fd = accept(Env->Listener, nullptr, nullptr);
            if (fd < 0)
                continue;
            ++connections;
            std::string request;
            char buffer[512];
            while (request.find("\r\n\r\n") == std::string::npos) {
                pollfd r{fd, POLLIN, 0};
                ssize_t n = poll(&r, 1, 5000) == 1 ? recv(fd, buffer, sizeof buffer, 0) : 0;
                if (n <= 0)
                    break;
                request.append(buffer, static_cast<size_t>(n));
            }
            for (const Item& item : items) {
                size_t sent = 0;
                while (sent < item.Bytes.size()) {
                    ssize_t n =
                        send(fd, item.Bytes.data() + sent, item.Bytes.size() - sent, MSG_NOSIGNAL);
                    if (n <= 0)
                        break;
                    sent += static_cast<size_t>(n);
                }
            }
            EndConnection(fd, reset);
        }
    });
    std::optional<std::string> result = form.RetrieveHTML("127.0.0.1", "/f");
    stop.store(true);
    peer.join();
    return result;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    Env = new Fixture;
    Env->Listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    FUZZ_CHECK(bind(Env->Listener, reinterpret_cast<sockaddr*>(&a), len) == 0, "bind");
    FUZZ_CHECK(listen(Env->Listener, 4) == 0, "listen");
    FUZZ_CHECK(getsockname(Env->Listener, reinterpret_cast<sockaddr*>(&a), &len) == 0, "port");
    Env->Port = ntohs(a.sin_port);
    char folder[] = "/tmp/ostrak_fuzz_http_XXXXXX";
    FUZZ_CHECK(mkdtemp(folder) != nullptr, "a temporary folder");
    Env->Folder = folder;
    Env->Target = Env->Folder + "/target.bin";
    std::atexit([] {
        for (const std::string& name : FolderEntries())
            unlink((Env->Folder + "/" + name).c_str());
        rmdir(Env->Folder.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t flags = data[0];
    const bool oldFile = flags & 1, reset = flags & 2;
    const Fetch fetch = flags & 8 ? Fetch::Html : flags & 4 ? Fetch::Url : Fetch::File;
    const std::vector<Item> items = Items(data + 1, size - 1);
    unlink(Env->Target.c_str());
    if (oldFile)
        std::ofstream(Env->Target, std::ios::binary) << OldContent;

    FrmConnect form;
    form.Timer1.SetEnabled(false);
    form.Port = Env->Port;
    std::string body;
    if (fetch == Fetch::Html) {
        std::string stream;
        for (const Item& item : items)
            stream += item.Bytes;
        const bool acceptable = Acceptable(stream, reset, fetch, body);
        form.SetPauseHook([](int32_t) {});
        int connections = 0;
        const std::optional<std::string> got = RetrieveHtml(form, items, reset, connections);
        FUZZ_CHECK(got.has_value() == acceptable, "a waited fetch returns exactly when acceptable");
        FUZZ_CHECK(!got || *got == body, "a waited fetch returns the body");
        FUZZ_CHECK(IsTrue(form.DownFailed) == !acceptable, "a waited fetch that gives up says so");
        FUZZ_CHECK(connections == (acceptable ? 1 : FrmConnect::RetrieveHTMLAttempts),
                   "one connection per attempt, and a bounded number of attempts");
        return 0;
    }

    if (fetch == Fetch::Url)
        form.RetrieveURL("127.0.0.1", "/f");
    else
        form.RetrieveFile("127.0.0.1", "/f", Env->Target);
    form.Timer1_Timer();
    const int peer = AcceptPeer();
    FUZZ_CHECK(ReadRequest(peer) == "GET /f HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: */*\r\n"
                                    "Connection: close\r\n\r\n",
               "the request is exactly the client's");

    std::string stream;
    bool open = true;
    for (size_t i = 0; i < items.size() && open; ++i) {
        if (items[i].Tick) {
            form.Timer1_Timer();
            continue;
        }
        open = SendPiece(peer, form, items[i].Bytes);
        if (open)
            stream += items[i].Bytes;
    }
    EndConnection(peer, reset);
    FUZZ_CHECK(PumpUntil([&] {
                   int32_t state = form.Winsock1().State();
                   return state == SocketState::Closed || state == SocketState::Error;
               }),
               "the client sees the end of the connection");

    const bool acceptable = open && Acceptable(stream, reset, fetch, body);
    if (fetch == Fetch::Url) {
        form.Timer1_Timer();
        FUZZ_CHECK(!IsTrue(form.DownDone), "an in-memory fetch is never stored");
        if (acceptable)
            FUZZ_CHECK(!IsTrue(form.DownFailed), "an acceptable response does not fail");
        if (!IsTrue(form.DownFailed))
            FUZZ_CHECK(form.ResponseText() == stream, "the whole response is kept");
    } else {
        for (int t = 0; t < 3 && !IsTrue(form.DownDone) && !IsTrue(form.DownFailed); ++t)
            form.Timer1_Timer();
        FUZZ_CHECK(IsTrue(form.DownDone) != IsTrue(form.DownFailed),
                   "a file fetch settles as stored or failed, not both");
        FUZZ_CHECK(IsTrue(form.DownDone) == acceptable,
                   "stored exactly when the response is complete and acceptable");
        std::string stored;
        const bool exists = ReadFile(Env->Target, stored);
        if (acceptable) {
            FUZZ_CHECK(exists && stored == body, "the stored file is the body");
        } else {
            FUZZ_CHECK(!form.FailureText.empty(), "a failure says why");
            FUZZ_CHECK(exists == oldFile && (!exists || stored == OldContent),
                       "a failed fetch leaves the target as it was");
        }
    }
    const std::vector<std::string> left = FolderEntries();
    FUZZ_CHECK(left.size() <= 1 && (left.empty() || left[0] == "target.bin"),
               "no temporary file is left beside the target");
    return 0;
}
