// gateway-sandbox: a local stand-in for the payment gateway (HTTP + SQLite) for development and tests.
#include "faults.h"
#include "gateway.h"
#include "server.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cerrno>
#include <pthread.h>
#include <string>
#include <thread>

namespace {

void usage(std::FILE* out) {
    std::fputs(
        "usage: gateway-sandbox [--port 8765] [--bind 127.0.0.1] [--db FILE] [--fault ACTION=MODE[:ARG]]...\n"
        "                       [--threads 64] [--password-wait-ms 35000] [--zone UTC+08:00] [--quiet]\n"
        "                       [--updates DIR] [--offer-version V]\n"
        "  --port N              port to listen on; 0 picks a free one (printed on the first line of stdout)\n"
        "  --bind ADDR           address to listen on (default 127.0.0.1)\n"
        "  --db FILE             SQLite database, created and seeded when new (default gateway-sandbox.db)\n"
        "  --fault RULE          inject a fault from the start, e.g. Pay.Ace.scanpay=delay:3000, *=status:503,\n"
        "                        Share.Ace.login=hang, Account.Pay.listPay=notjson, Pay.Ace.scanpay=reset;\n"
        "                        modes: delay, hang, status, notjson, truncate, cut, reset (see README.md)\n"
        "  --threads N           worker threads (hung requests each hold one)\n"
        "  --password-wait-ms N  how long payment codes ending 8888 keep the customer entering the password\n"
        "  --zone ZONE           time zone of pay_date and listing ranges (default UTC+08:00; an IANA name too)\n"
        "  --quiet               no request log on stderr\n"
        "  --updates DIR         serve the new versions' setups, packages and signatures in DIR at the root, as\n"
        "                        the vendor's site (cashier-setup-<version>.exe, cashier_<version>_amd64.deb, .sig)\n"
        "  --offer-version V     the pc client's version Share.App.update names (default the client's own)\n",
        out);
}

bool intArg(const char* text, int min, int max, int* out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < min || v > max) {
        return false;
    }
    *out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    sandbox::GatewayOptions gatewayOptions;
    sandbox::ServerOptions serverOptions;
    sandbox::Faults faults;
    std::string offeredVersion;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "gateway-sandbox: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        auto number = [&](int min, int max) {
            const char* v = value();
            int n = 0;
            if (!intArg(v, min, max, &n)) {
                std::fprintf(stderr, "gateway-sandbox: bad value for %s: %s\n", arg.c_str(), v);
                std::exit(2);
            }
            return n;
        };
        if (arg == "--port") {
            serverOptions.port = number(0, 65535);
        } else if (arg == "--bind") {
            serverOptions.bind = value();
        } else if (arg == "--db") {
            gatewayOptions.dbPath = value();
        } else if (arg == "--threads") {
            serverOptions.threads = number(2, 1024);
        } else if (arg == "--password-wait-ms") {
            gatewayOptions.passwordWaitMs = number(0, 3600000);
        } else if (arg == "--zone") {
            gatewayOptions.zone = value();
        } else if (arg == "--updates") {
            serverOptions.updatesDir = value();
        } else if (arg == "--offer-version") {
            offeredVersion = value();
        } else if (arg == "--quiet") {
            serverOptions.quiet = true;
        } else if (arg == "--fault") {
            std::string error;
            auto rule = sandbox::FaultRule::fromText(value(), &error);
            if (!rule) {
                std::fprintf(stderr, "gateway-sandbox: %s\n", error.c_str());
                return 2;
            }
            faults.add(*rule);
        } else if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "gateway-sandbox: unknown option %s\n", arg.c_str());
            usage(stderr);
            return 2;
        }
    }

    // A peer that vanishes mid-reply must not kill the process; SIGINT/SIGTERM are taken by a thread below.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        sandbox::Gateway gateway(gatewayOptions);
        sandbox::Server server(gateway, faults, serverOptions);
        gateway.sleep = [&faults](int ms) { return faults.sleep(ms); };
        if (!offeredVersion.empty()) {
            gateway.setVersion("pc", offeredVersion);
        }
        const int port = server.bind();
        if (port < 0) {
            std::fprintf(stderr, "gateway-sandbox: cannot listen on %s:%d: %s\n", serverOptions.bind.c_str(),
                         serverOptions.port, std::strerror(errno));
            return 1;
        }
        std::printf("gateway-sandbox listening on http://%s:%d/api.php/Gateway/index (database %s)\n",
                    serverOptions.bind.c_str(), port, gatewayOptions.dbPath.c_str());
        std::fflush(stdout);

        std::atomic<bool> ended{false};
        std::thread signalWatcher([&] {
            int sig = 0;
            sigwait(&stopSignals, &sig);
            if (ended) {
                return;  // woken below: the server ended by itself
            }
            std::fprintf(stderr, "gateway-sandbox: signal %d, stopping\n", sig);
            // A stop that comes before the server has begun to listen (a signal right after the port was printed)
            // would do nothing and leave the server running: it waits for the listening to begin.
            while (!ended && !server.listening()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            server.stop();
        });
        const bool served = server.run();
        ended = true;
        // Wake the watcher if the server ended by itself.
        pthread_kill(signalWatcher.native_handle(), SIGTERM);
        signalWatcher.join();
        return served ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gateway-sandbox: %s\n", e.what());
        return 1;
    }
}
