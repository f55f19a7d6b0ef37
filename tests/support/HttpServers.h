#pragma once
// Real HTTP servers for tests: python3's http.server and nginx, each serving
// a folder on 127.0.0.1. The constructor starts the server and returns once
// its port accepts connections (it throws when the server does not come up
// within 10 s); the destructor stops it. Port 0 picks a free port.
#include "support/Subprocess.h"

#include <memory>
#include <string>
#include <vector>

namespace ostrak {

class ServerProcess {
public:
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    virtual ~ServerProcess();

    int Port() const { return Port_; }
    // "127.0.0.1:port", for OSTRAK_SERVER and ostrak_fetch.
    std::string Address() const;
    // Stops the server now (the destructor does it otherwise).
    void Stop();

protected:
    // Creates the private temporary folder (Work()) of the server.
    ServerProcess();
    const std::string& Work() const { return Work_.Path(); }
    // Runs argv in the background and waits for the port.
    void Launch(const std::vector<std::string>& argv);
    // What the server wrote to stderr so far.
    std::string Log() const { return Child_ ? Child_->Err() : ""; }

    int Port_ = 0;

private:
    std::unique_ptr<ChildProcess> Child_;
    TempDir Work_;
};

// python3 -m http.server (HTTP/1.0, closes after every response).
class PythonHttpServer : public ServerProcess {
public:
    explicit PythonHttpServer(const std::string& folder, int port = 0);
    // The paths of the GET requests answered so far, in order (from its log).
    std::vector<std::string> RequestedPaths() const;
};

// nginx serving folder, configured and run in a private temporary folder as
// one process (daemon off, master_process off).
class NginxServer : public ServerProcess {
public:
    explicit NginxServer(const std::string& folder, int port = 0);
};

// Whether nginx is installed (tests that need it are skipped otherwise).
bool NginxAvailable();

} // namespace ostrak
