#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace sandbox {

class Gateway;
class Faults;

struct ServerOptions {
    std::string bind = "127.0.0.1";
    int port = 8765;   // 0 picks a free port
    int threads = 64;  // workers; a hung request holds one until it is released
    bool quiet = false;
    // The vendor's site's download folder: its new versions' setups (cashier-setup-<version>.exe), Debian packages
    // (cashier_<version>_amd64.deb) and their signatures (.sig) are served at the root. Empty: none.
    std::string updatesDir;
};

// The HTTP side: the gateway endpoint, the /__sandbox control endpoints, fault injection and the request log.
class Server {
public:
    Server(Gateway& gateway, Faults& faults, ServerOptions options);
    ~Server();

    // Binds the socket; returns the port (useful with port 0) or -1.
    int bind();
    // Serves until stop(); returns false when serving failed.
    bool run();
    // Safe from any thread; ends hangs and delays at once.
    void stop();
    // True once run() has begun to listen (a stop() before then does nothing).
    bool listening() const;

private:
    void gatewayEndpoint(const httplib::Request& req, httplib::Response& res);
    void installControl();
    void installDownloads();
    void logLine(const httplib::Request& req, int status, const std::string& action, const std::string& note,
                 double ms);

    struct Received {
        uint64_t seq;
        int64_t msecs;
        std::string action;
        std::string body;
    };

    Gateway& gateway_;
    Faults& faults_;
    ServerOptions options_;
    std::unique_ptr<httplib::Server> http_;
    std::mutex logMutex_;
    std::deque<Received> received_;
    uint64_t nextSeq_ = 1;
    std::mutex stderrMutex_;
};

// Aborts the TCP connection behind a request with an RST, leaving httplib a dead socket to fail on.
bool resetConnection(const httplib::Request& req);

}  // namespace sandbox
