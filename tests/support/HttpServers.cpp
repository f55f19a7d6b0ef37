#include "support/HttpServers.h"

#include "support/ScriptedHttpPeer.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ostrak {

namespace {

// The first python3 on the PATH that is not a version-manager shim (a shim
// costs a noticeable start-up time), else the first one at all.
std::string PythonBinary() {
    for (const char* candidate : {"/usr/bin/python3", "/usr/local/bin/python3"})
        if (IsProgram(candidate))
            return candidate;
    const char* path = std::getenv("PATH");
    std::string rest = path ? path : "";
    while (!rest.empty()) {
        size_t colon = rest.find(':');
        std::string dir = rest.substr(0, colon);
        rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
        std::string candidate = dir + "/python3";
        if (IsProgram(candidate))
            return candidate;
    }
    throw std::runtime_error("python3 not found");
}

const char* const NginxBinary = "/usr/sbin/nginx";

} // namespace

ServerProcess::ServerProcess() = default;

ServerProcess::~ServerProcess() {
    Stop();
}

std::string ServerProcess::Address() const {
    return "127.0.0.1:" + std::to_string(Port_);
}

void ServerProcess::Launch(const std::vector<std::string>& argv) {
    Child_ = std::make_unique<ChildProcess>(argv, ProcessOptions{});
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (LoopbackPortAccepts(Port_))
            return;
        if (Child_->Wait(10))
            throw std::runtime_error(argv[0] + " ended at start: " + Log());
    }
    Stop();
    throw std::runtime_error(argv[0] + " did not come up: " + Log());
}

void ServerProcess::Stop() {
    if (Child_)
        Child_->Stop();
}

PythonHttpServer::PythonHttpServer(const std::string& folder, int port) {
    Port_ = port != 0 ? port : FreeLoopbackPort();
    Launch({PythonBinary(), "-m", "http.server", std::to_string(Port_), "--bind", "127.0.0.1",
            "--directory", folder});
}

std::vector<std::string> PythonHttpServer::RequestedPaths() const {
    // Lines read: 127.0.0.1 - - [date] "GET /path HTTP/1.0" 200 -
    std::vector<std::string> paths;
    std::istringstream log(Log());
    const std::string mark = "\"GET ";
    for (std::string line; std::getline(log, line);) {
        const auto at = line.find(mark);
        const auto end = line.find(" HTTP/", at);
        if (at != std::string::npos && end != std::string::npos)
            paths.push_back(line.substr(at + mark.size(), end - at - mark.size()));
    }
    return paths;
}

NginxServer::NginxServer(const std::string& folder, int port) {
    Port_ = port != 0 ? port : FreeLoopbackPort();
    std::string conf = Work() + "/nginx.conf";
    std::ofstream out(conf);
    out << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
        << "error_log stderr;\npid " << Work() << "/nginx.pid;\n"
        << "events { worker_connections 64; }\n"
        << "http {\n  access_log off;\n  default_type application/octet-stream;\n"
        << "  sendfile on;\n"
        << "  client_body_temp_path " << Work() << "/client_body;\n"
        << "  proxy_temp_path " << Work() << "/proxy;\n"
        << "  fastcgi_temp_path " << Work() << "/fastcgi;\n"
        << "  uwsgi_temp_path " << Work() << "/uwsgi;\n"
        << "  scgi_temp_path " << Work() << "/scgi;\n"
        << "  server {\n    listen 127.0.0.1:" << Port_ << ";\n    root " << folder << ";\n"
        << "  }\n}\n";
    out.close();
    Launch({NginxBinary, "-p", Work(), "-e", "stderr", "-c", conf});
}

bool NginxAvailable() {
    return IsProgram(NginxBinary);
}

} // namespace ostrak
