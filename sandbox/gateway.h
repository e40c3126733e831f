#pragma once

#include "form.h"

#include <QJsonObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sandbox {

class Database;

struct GatewayOptions {
    std::string dbPath = "gateway-sandbox.db";
    // How long a customer "enters the password" (codes ending 8888): longer than the client's 30 s time-out.
    int passwordWaitMs = 35000;
    // The zone of the gateway's wall-clock times (pay_date, listing ranges, periods): a QTimeZone id; China Standard
    // Time by default, whatever the zone of the machine it runs on.
    std::string zone = "UTC+08:00";
};

struct Item {
    std::string cardno;
    int64_t price = 0;  // fen
};

// The gateway's business side: every action of the client's catalogue, answered from and recorded in SQLite.
// Thread-safe; one instance serves all of the HTTP server's worker threads.
class Gateway {
public:
    explicit Gateway(GatewayOptions options);
    ~Gateway();

    // Answers one request of the gateway endpoint with the whole reply object. `form` is the parsed body, or
    // empty when the body could not be parsed, with the reason in `parseError`.
    QJsonObject handle(const std::optional<Form>& form, const std::string& parseError);

    // Sleeps for the given time unless the server stops first; returns false when it was cut short.
    // The server installs one that wakes on shutdown.
    std::function<bool(int ms)> sleep;

    // Control side (for tests and demos).
    bool attachItems(const std::string& tradeNo, const std::vector<Item>& items, std::string* error);
    void setVersion(const std::string& system, const std::string& versionCode);
    // Forgets an order (either of its numbers) with its tickets, items, refunds and prints, as if it had never been
    // paid: for tests of a client whose record holds a sale the gateway does not.
    bool removeOrder(const std::string& tradeNo, std::string* error);

private:
    struct Account;
    using Reply = QJsonObject;

    Reply dispatch(const std::string& action, const Form& form);
    std::optional<Account> accountForToken(const Form& form);

    Reply login(const Form& f);
    Reply update(const Form& f);
    Reply listShop(const Form& f, const Account& a);
    Reply charge(const Form& f, bool tickets);
    Reply doprint(const Form& f, const Account& a);
    Reply listPay(const Form& f, const Account& a);
    Reply printTime(const Form& f, const Account& a);
    Reply listSumTicket(const Form& f, const Account& a);
    Reply logPrint(const Form& f, const Account& a);
    Reply refund(const Form& f, const Account& a);
    Reply cards(const Form& f, const Account& a);
    Reply editPassword(const Form& f, const Account& a);
    Reply editRefundPassword1(const Form& f, const Account& a);
    Reply getQuestion(const Form& f, const Account& a);
    Reply setRefundPassword(const Form& f, const Account& a);
    Reply editRefundPassword(const Form& f, const Account& a);

    void createSchema();
    void seed();
    int64_t findOrder(const std::string& tradeNo, int64_t accountId);

    GatewayOptions options_;
    std::unique_ptr<Database> db_;
    std::mutex mutex_;  // one writer at a time; SQLite transactions must not interleave
};

// Helpers shared with the tests' expectations.
std::string yuanText(int64_t fen);  // 2000 -> "20", 1250 -> "12.5", 1 -> "0.01"
std::optional<int64_t> parseLocalTime(const std::string& text);

}  // namespace sandbox
