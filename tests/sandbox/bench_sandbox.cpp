// Loopback figures for the sandbox: cold start to the first answer, and requests per second with one and four
// concurrent clients. A benchmark, not a test: it prints numbers and asserts nothing.
//   bench_sandbox [requests-per-client, default 2000]
#include "sandbox_harness.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

struct Result {
    double perSecond = 0;
    int failures = 0;
};

// Each client sends `count` requests, stopping early after 20 s; keepAlive reuses one connection per client,
// otherwise every request opens its own (as the cashier client does, one request object per action).
Result run(int port, int clients, int count, bool keepAlive, const std::string& body) {
    std::atomic<int> done{0};
    std::atomic<int> failures{0};
    QElapsedTimer t;
    t.start();
    std::vector<std::thread> pool;
    for (int c = 0; c < clients; ++c) {
        pool.emplace_back([&] {
            httplib::Client cli("127.0.0.1", port);
            cli.set_keep_alive(keepAlive);
            cli.set_tcp_nodelay(true);  // as Qt does for HTTP; else Nagle delays the body behind the headers
            for (int i = 0; i < count && t.elapsed() < 20000; ++i) {
                auto r = cli.Post("/api.php/Gateway/index", body, "application/x-www-form-urlencoded");
                if (!r || r->status != 200) {
                    ++failures;
                }
                ++done;
            }
        });
    }
    for (auto& th : pool) {
        th.join();
    }
    return Result{done * 1000.0 / std::max<qint64>(1, t.elapsed()), failures.load()};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;

    for (const bool fresh : {true, false}) {
        QTemporaryDir dir;
        const QString db = dir.filePath("bench.db");
        if (!fresh) {
            SandboxProcess seed({}, db);
            seed.start();
            seed.stop();
        }
        QElapsedTimer t;
        t.start();
        SandboxProcess sb({"--quiet"}, db);
        if (!sb.start() || sb.call("Share.App.update", {{"system", "pc"}}).status != 200) {
            std::fprintf(stderr, "sandbox did not start\n");
            return 1;
        }
        std::printf("cold start to first answer (%s database): %lld ms\n", fresh ? "new" : "existing",
                    static_cast<long long>(t.elapsed()));
    }

    SandboxProcess sb({"--quiet"});
    sb.start();
    const std::string token = sb.login().toStdString();
    for (int i = 0; i < 45; ++i) {
        sb.charge(codes::alipay, 100 + i);  // so that the listPay figure is for a full page
    }
    const struct {
        const char* name;
        std::string body;
    } actions[] = {
        {"Share.App.update (read)", "version=3.0&action=Share.App.update&system=pc"},
        {"Account.Pay.listPay (read, page of 20)", "version=3.0&action=Account.Pay.listPay&token=" + token +
                                                       "&page_num=20&p=1&ord=desc&tradeno=&start_date=&"
                                                       "end_date=&shopid=&cardno="},
        {"Pay.Ace.scanpay (write)",
         "version=3.0&action=Pay.Ace.scanpay&auth_code=280000000000000001&money=100&uid=1&shopid=1&"},
        {"Share.Ace.login (Argon2id)", "version=3.0&action=Share.Ace.login&ticket=1&uname=demo&pword=demo123"},
    };
    for (const auto& a : actions) {
        for (const bool keepAlive : {false, true}) {
            for (const int clients : {1, 4}) {
                const Result r = run(sb.port(), clients, count / clients, keepAlive, a.body);
                std::printf("%-38s %-14s %d client(s): %8.0f req/s%s\n", a.name,
                            keepAlive ? "keep-alive" : "new connection", clients, r.perSecond,
                            r.failures ? qPrintable(QString(" (%1 failed)").arg(r.failures)) : "");
            }
        }
    }
    sb.stop();
    return 0;
}
