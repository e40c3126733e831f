#include "server.h"

#include "faults.h"
#include "form.h"
#include "gateway.h"

#include <httplib.h>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace sandbox {
namespace {

// The HTTP date of now ("Tue, 08 Dec 2026 09:00:00 GMT").
std::string httpDate() {
    return QLocale::c()
        .toString(QDateTime::currentDateTimeUtc(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"))
        .toStdString();
}

const char* const kGatewayPath = "/api.php/Gateway/index";
const char* const kJson = "application/json; charset=utf-8";
constexpr size_t kMaxLoggedRequests = 100000;

std::string toJson(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

void jsonError(httplib::Response& res, int status, const std::string& msg) {
    res.status = status;
    res.set_content(toJson(QJsonObject{{"code", 3}, {"msg", QString::fromStdString(msg)}}), kJson);
}

std::optional<QJsonDocument> parseJson(const std::string& body, httplib::Response& res) {
    QJsonParseError err{};
    QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(body), &err);
    if (err.error != QJsonParseError::NoError) {
        jsonError(res, 400, "body is not JSON: " + err.errorString().toStdString());
        return std::nullopt;
    }
    return doc;
}

std::string peerOf(int fd, int* port, int* localPort) {
    sockaddr_storage peer{};
    sockaddr_storage local{};
    socklen_t pl = sizeof peer;
    socklen_t ll = sizeof local;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &pl) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &ll) != 0) {
        return {};
    }
    char buf[INET6_ADDRSTRLEN] = {};
    if (peer.ss_family == AF_INET) {
        const auto* p = reinterpret_cast<sockaddr_in*>(&peer);
        inet_ntop(AF_INET, &p->sin_addr, buf, sizeof buf);
        *port = ntohs(p->sin_port);
        *localPort = ntohs(reinterpret_cast<sockaddr_in*>(&local)->sin_port);
    } else if (peer.ss_family == AF_INET6) {
        const auto* p = reinterpret_cast<sockaddr_in6*>(&peer);
        inet_ntop(AF_INET6, &p->sin6_addr, buf, sizeof buf);
        *port = ntohs(p->sin6_port);
        *localPort = ntohs(reinterpret_cast<sockaddr_in6*>(&local)->sin6_port);
    } else {
        return {};
    }
    return buf;
}

}  // namespace

bool resetConnection(const httplib::Request& req) {
    // httplib does not hand out the socket, so find it by its two endpoints.
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) {
        return false;
    }
    int found = -1;
    while (dirent* e = readdir(dir)) {
        const int fd = std::atoi(e->d_name);
        if (fd <= 2 || fd == dirfd(dir)) {
            continue;
        }
        int type = 0;
        socklen_t len = sizeof type;
        if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) != 0 || type != SOCK_STREAM) {
            continue;
        }
        int port = -1;
        int localPort = -1;
        const std::string addr = peerOf(fd, &port, &localPort);
        if (!addr.empty() && port == req.remote_port && addr == req.remote_addr && localPort == req.local_port) {
            found = fd;
            break;
        }
    }
    closedir(dir);
    if (found < 0) {
        return false;
    }
    // Linger 0 turns the close into an RST. dup2 closes the connection and leaves an unconnected socket under
    // the same number, so httplib's later write and close hit that instead of a recycled descriptor.
    linger lg{1, 0};
    setsockopt(found, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    const int dummy = socket(AF_INET, SOCK_STREAM, 0);
    if (dummy < 0) {
        return false;
    }
    const bool ok = dup2(dummy, found) == found;
    close(dummy);
    return ok;
}

Server::Server(Gateway& gateway, Faults& faults, ServerOptions options)
    : gateway_(gateway), faults_(faults), options_(std::move(options)), http_(std::make_unique<httplib::Server>()) {
    const int threads = options_.threads;
    http_->new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
    // httplib's default also sets SO_REUSEPORT, which would let a second sandbox share the port silently.
    http_->set_socket_options([](int sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // Headers and body go out in separate writes; without this Nagle holds the body for the peer's delayed ACK
    // (about 40 ms per request on a kept-alive connection).
    http_->set_tcp_nodelay(true);
    http_->set_payload_max_length(1 << 20);
    // A real gateway stamps every reply with its own time; the client draws its look-ups on that clock.
    http_->set_post_routing_handler(
        [](const httplib::Request&, httplib::Response& res) { res.set_header("Date", httpDate()); });
    http_->set_keep_alive_timeout(5);
    http_->Post(kGatewayPath,
                [this](const httplib::Request& req, httplib::Response& res) { gatewayEndpoint(req, res); });
    http_->Get(kGatewayPath, [this](const httplib::Request& req, httplib::Response& res) {
        jsonError(res, 405, "use POST with a form-encoded body");
        logLine(req, res.status, "", "", 0);
    });
    installControl();
    installDownloads();
    http_->set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        if (res.body.empty()) {
            jsonError(res, res.status, "no such endpoint: " + req.method + " " + req.path);
        }
    });
    // The gateway endpoint logs its own line (with the action and any fault); this covers everything else.
    http_->set_logger([this](const httplib::Request& req, const httplib::Response& res) {
        if (req.path != kGatewayPath) {
            logLine(req, res.status, "", "", 0);
        }
    });
    http_->set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
        std::string what = "unknown error";
        try {
            std::rethrow_exception(ep);
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        jsonError(res, 500, "internal error: " + what);
    });
}

Server::~Server() = default;

int Server::bind() {
    if (options_.port == 0) {
        return http_->bind_to_any_port(options_.bind);
    }
    return http_->bind_to_port(options_.bind, options_.port) ? options_.port : -1;
}

bool Server::run() {
    return http_->listen_after_bind();
}

void Server::stop() {
    faults_.shutdown();
    http_->stop();
}

bool Server::listening() const {
    return http_->is_running();
}

void Server::gatewayEndpoint(const httplib::Request& req, httplib::Response& res) {
    const auto started = std::chrono::steady_clock::now();
    std::string parseError;
    const std::optional<Form> form = Form::parse(req.body, &parseError);
    const std::string action = form ? form->get("action").value_or(std::string()) : std::string();
    {
        std::lock_guard lock(logMutex_);
        received_.push_back(Received{nextSeq_++, QDateTime::currentMSecsSinceEpoch(), action, req.body});
        if (received_.size() > kMaxLoggedRequests) {
            received_.pop_front();
        }
    }
    auto elapsed = [&] {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    };
    auto answer = [&] { return toJson(gateway_.handle(form, parseError)); };

    const auto fault = faults_.take(action);
    std::string note;
    if (fault) {
        note = "fault=" + fault->toJson().value("mode").toString().toStdString();
        if (fault->delayMs > 0 && !faults_.sleep(fault->delayMs)) {
            resetConnection(req);
            logLine(req, 0, action, note + " (server stopping)", elapsed());
            return;
        }
        switch (fault->mode) {
            case FaultRule::Mode::Delay:
                break;
            case FaultRule::Mode::Hang:
            case FaultRule::Mode::Reset:
                if (fault->apply) {
                    answer();
                }
                if (fault->mode == FaultRule::Mode::Hang) {
                    faults_.hang();
                }
                resetConnection(req);
                logLine(req, 0, action, note + " (connection dropped)", elapsed());
                return;
            case FaultRule::Mode::Status:
                res.status = fault->status;
                res.set_content(fault->body, !fault->body.empty() && fault->body[0] == '{' ? kJson : "text/plain");
                logLine(req, res.status, action, note, elapsed());
                return;
            case FaultRule::Mode::NotJson:
                res.set_content(
                    fault->body.empty() ? "<html><body><h1>502 Bad Gateway</h1></body></html>" : fault->body,
                    "text/html; charset=utf-8");
                logLine(req, res.status, action, note, elapsed());
                return;
            case FaultRule::Mode::Truncate: {
                const std::string full = answer();
                res.set_content(full.substr(0, full.size() / 2), kJson);
                logLine(req, res.status, action, note, elapsed());
                return;
            }
            case FaultRule::Mode::Cut: {
                auto full = std::make_shared<std::string>(answer());
                res.set_content_provider(full->size(), kJson, [full](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset > 0) {
                        return false;  // stop after the first half: httplib closes
                    }
                    sink.write(full->data(), full->size() / 2);
                    return true;
                });
                logLine(req, res.status, action, note, elapsed());
                return;
            }
        }
    }
    res.set_content(answer(), kJson);
    logLine(req, res.status, action, note, elapsed());
}

void Server::installControl() {
    http_->Get("/__sandbox/health", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(toJson(QJsonObject{{"ok", true}}), kJson);
    });
    http_->Get("/__sandbox/requests", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string only = req.has_param("action") ? req.get_param_value("action") : std::string();
        QJsonArray list;
        std::lock_guard lock(logMutex_);
        for (const Received& r : received_) {
            if (!only.empty() && r.action != only) {
                continue;
            }
            list.append(QJsonObject{{"seq", static_cast<double>(r.seq)},
                                    {"time", QDateTime::fromMSecsSinceEpoch(r.msecs).toString(Qt::ISODateWithMs)},
                                    {"action", QString::fromStdString(r.action)},
                                    {"body", QString::fromStdString(r.body)}});
        }
        res.set_content(toJson(QJsonObject{{"requests", list}}), kJson);
    });
    http_->Delete("/__sandbox/requests", [this](const httplib::Request&, httplib::Response& res) {
        std::lock_guard lock(logMutex_);
        received_.clear();
        res.set_content(toJson(QJsonObject{{"ok", true}}), kJson);
    });
    http_->Get("/__sandbox/faults", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(toJson(QJsonObject{{"faults", faults_.list()}}), kJson);
    });
    http_->Delete("/__sandbox/faults", [this](const httplib::Request&, httplib::Response& res) {
        faults_.clear();
        res.set_content(toJson(QJsonObject{{"ok", true}}), kJson);
    });
    http_->Post("/__sandbox/faults", [this](const httplib::Request& req, httplib::Response& res) {
        auto doc = parseJson(req.body, res);
        if (!doc) {
            return;
        }
        // One rule, an array of rules, or {"rules": [...]}.
        QJsonArray rules = doc->isArray() ? doc->array() : QJsonArray{doc->object()};
        if (doc->isObject() && doc->object().contains("rules")) {
            rules = doc->object().value("rules").toArray();
        }
        std::vector<FaultRule> parsed;
        for (const auto& v : rules) {
            std::string error;
            auto rule = FaultRule::fromJson(v.toObject(), &error);
            if (!rule) {
                jsonError(res, 400, error);
                return;
            }
            parsed.push_back(*rule);
        }
        for (const auto& r : parsed) {
            faults_.add(r);
        }
        res.set_content(toJson(QJsonObject{{"ok", true}, {"faults", faults_.list()}}), kJson);
    });
    http_->Post("/__sandbox/items", [this](const httplib::Request& req, httplib::Response& res) {
        auto doc = parseJson(req.body, res);
        if (!doc) {
            return;
        }
        const QJsonObject o = doc->object();
        std::vector<Item> items;
        for (const auto& v : o.value("items").toArray()) {
            const QJsonObject it = v.toObject();
            const QJsonValue price = it.value("price");
            items.push_back(Item{it.value("cardno").toString().toStdString(),
                                 price.isString() ? price.toString().toLongLong() : price.toVariant().toLongLong()});
            if (items.back().cardno.empty() || items.back().price < 0) {
                jsonError(res, 400, "each item needs a non-empty \"cardno\" and a \"price\" in fen >= 0");
                return;
            }
        }
        std::string error;
        if (!gateway_.attachItems(o.value("out_trade_no").toString().toStdString(), items, &error)) {
            jsonError(res, 404, error);
            return;
        }
        res.set_content(toJson(QJsonObject{{"ok", true}, {"attached", static_cast<int>(items.size())}}), kJson);
    });
    http_->Post("/__sandbox/orders/remove", [this](const httplib::Request& req, httplib::Response& res) {
        auto doc = parseJson(req.body, res);
        if (!doc) {
            return;
        }
        std::string error;
        if (!gateway_.removeOrder(doc->object().value("out_trade_no").toString().toStdString(), &error)) {
            jsonError(res, 404, error);
            return;
        }
        res.set_content(toJson(QJsonObject{{"ok", true}}), kJson);
    });
    http_->Post("/__sandbox/version", [this](const httplib::Request& req, httplib::Response& res) {
        auto doc = parseJson(req.body, res);
        if (!doc) {
            return;
        }
        const QJsonObject o = doc->object();
        const std::string code = o.value("version_code").toString().toStdString();
        if (code.empty()) {
            jsonError(res, 400, "\"version_code\" is required");
            return;
        }
        gateway_.setVersion(o.value("system").toString("pc").toStdString(), code);
        res.set_content(toJson(QJsonObject{{"ok", true}}), kJson);
    });
}

void Server::installDownloads() {
    if (options_.updatesDir.empty()) {
        return;
    }
    // Only these names, made of a version's digits and dots: nothing else of the folder (or above it) is handed out.
    http_->Get(R"(/(cashier-setup-[0-9.]+\.exe|cashier_[0-9.]+_amd64\.deb)(\.sig)?)",
               [this](const httplib::Request& req, httplib::Response& res) {
                   std::ifstream in(options_.updatesDir + "/" + req.matches[1].str() + req.matches[2].str(),
                                    std::ios::binary);
                   if (!in) {
                       res.status = 404;
                       res.set_content("no such file\n", "text/plain");
                       return;
                   }
                   std::ostringstream bytes;
                   bytes << in.rdbuf();
                   res.set_content(bytes.str(), "application/octet-stream");
               });
}

void Server::logLine(const httplib::Request& req, int status, const std::string& action, const std::string& note,
                     double ms) {
    if (options_.quiet) {
        return;
    }
    const std::string when = QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss.zzz").toStdString();
    std::string line = when + " " + req.remote_addr + " " + req.method + " " + req.path;
    if (!action.empty()) {
        line += " action=" + action;
    }
    line += " -> " + (status == 0 ? std::string("no reply") : std::to_string(status < 0 ? 200 : status));
    char took[32];
    std::snprintf(took, sizeof took, " %.1fms", ms);
    line += took;
    if (!note.empty()) {
        line += " " + note;
    }
    if (!req.body.empty() && !isValidUtf8(req.body)) {
        line += " body: (" + std::to_string(req.body.size()) + " bytes, not UTF-8)";
    } else if (!req.body.empty()) {
        std::string body = maskSecrets(req.body);
        if (body.size() > 300) {
            body = body.substr(0, 300) + "...";
        }
        line += " body: " + body;
    }
    line += '\n';
    std::lock_guard lock(stderrMutex_);
    std::fputs(line.c_str(), stderr);
}

}  // namespace sandbox
