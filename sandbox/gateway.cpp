#include "gateway.h"

#include "gatewayshared.h"

#include <QDateTime>
#include <QJsonArray>
#include <QString>
#include <QTimeZone>

#include <sodium.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace sandbox {

using namespace detail;

std::string yuanText(int64_t fen) {
    const bool negative = fen < 0;
    const int64_t a = negative ? -fen : fen;
    std::string s = std::to_string(a / 100);
    const int64_t cents = a % 100;
    if (cents != 0) {
        s += '.';
        s += static_cast<char>('0' + cents / 10);
        if (cents % 10 != 0) {
            s += static_cast<char>('0' + cents % 10);
        }
    }
    return negative ? "-" + s : s;
}

std::optional<int64_t> parseLocalTime(const std::string& text) {
    const QString t = q(text).trimmed();
    if (t.isEmpty()) {
        return std::nullopt;
    }
    bool isNumber = false;
    const qint64 secs = t.toLongLong(&isNumber);
    if (isNumber) {
        return secs;
    }
    for (const char* fmt : {"yyyy-M-d h:m:s", "yyyy-M-d h:m", "yyyy-M-d", "yyyy/M/d h:m:s", "yyyy/M/d"}) {
        const QDateTime dt = QDateTime::fromString(t, QString::fromLatin1(fmt));
        if (dt.isValid()) {
            return QDateTime(dt.date(), dt.time(), zone()).toSecsSinceEpoch();
        }
    }
    return std::nullopt;
}

Gateway::Gateway(GatewayOptions options) : options_(std::move(options)) {
    if (sodium_init() < 0) {
        throw DbError("libsodium failed to initialise");
    }
    const QTimeZone named(QByteArray::fromStdString(options_.zone));
    if (!named.isValid()) {
        throw DbError("unknown time zone " + options_.zone);
    }
    zone() = named;
    sleep = [](int ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return true;
    };
    db_ = std::make_unique<Database>(options_.dbPath);
    createSchema();
    seed();
}

Gateway::~Gateway() = default;

void Gateway::createSchema() {
    db_->exec(R"sql(
CREATE TABLE IF NOT EXISTS accounts(
    id INTEGER PRIMARY KEY, uname TEXT NOT NULL UNIQUE, pword_hash TEXT NOT NULL,
    rname TEXT NOT NULL, company TEXT NOT NULL,
    refund_hash TEXT NOT NULL DEFAULT '', question TEXT NOT NULL DEFAULT '', answer_hash TEXT NOT NULL DEFAULT '');
CREATE TABLE IF NOT EXISTS tokens(
    token TEXT PRIMARY KEY, account_id INTEGER NOT NULL REFERENCES accounts(id), created INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS shops(
    id INTEGER PRIMARY KEY, account_id INTEGER NOT NULL REFERENCES accounts(id),
    main_name TEXT NOT NULL, branch_name TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS ticket_types(
    id INTEGER PRIMARY KEY, shop_id INTEGER NOT NULL REFERENCES shops(id),
    name TEXT NOT NULL, price INTEGER NOT NULL, status INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS versions(system TEXT PRIMARY KEY, version_code TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS orders(
    id INTEGER PRIMARY KEY, out_trade_no TEXT UNIQUE, trade_no TEXT UNIQUE,
    account_id INTEGER NOT NULL REFERENCES accounts(id), shop_id INTEGER NOT NULL REFERENCES shops(id),
    channel TEXT NOT NULL, money INTEGER NOT NULL, refunded INTEGER NOT NULL DEFAULT 0,
    created INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS orders_by_time ON orders(account_id, created);
CREATE TABLE IF NOT EXISTS order_tickets(
    order_id INTEGER NOT NULL REFERENCES orders(id), type_id INTEGER NOT NULL,
    name TEXT NOT NULL, price INTEGER NOT NULL, count INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS items(
    id INTEGER PRIMARY KEY, order_id INTEGER NOT NULL REFERENCES orders(id),
    cardno TEXT NOT NULL, price INTEGER NOT NULL, state INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS refunds(
    id INTEGER PRIMARY KEY, order_id INTEGER NOT NULL REFERENCES orders(id),
    amount INTEGER NOT NULL, cardno TEXT NOT NULL, created INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS prints(
    id INTEGER PRIMARY KEY, order_id INTEGER NOT NULL REFERENCES orders(id), created INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS print_logs(
    id INTEGER PRIMARY KEY, account_id INTEGER NOT NULL REFERENCES accounts(id),
    time1 INTEGER NOT NULL, time2 INTEGER NOT NULL, created INTEGER NOT NULL);
)sql");
}

void Gateway::seed() {
    std::lock_guard lock(mutex_);
    {
        auto st = db_->prepare("SELECT COUNT(*) FROM accounts");
        st.step();
        if (st.integer(0) > 0) {
            return;
        }
    }
    Transaction tx(*db_);
    db_->prepare(
           "INSERT INTO accounts(id, uname, pword_hash, rname, company, refund_hash, question, answer_hash) "
           "VALUES (1, 'demo', ?, '张三', '岚舟演示商户', ?, '我出生在哪个城市？', ?)")
        .bindAll(digest("demo123"), digest("888888"), digest("杭州"))
        .exec();
    // A second account with neither refund password nor security question, for the first-time set-up path.
    db_->prepare(
           "INSERT INTO accounts(id, uname, pword_hash, rname, company) "
           "VALUES (2, 'demo2', ?, '李四', '岚舟第二商户')")
        .bindAll(digest("demo2pwd"))
        .exec();
    db_->exec(R"sql(
INSERT INTO shops(id, account_id, main_name, branch_name) VALUES
    (1, 1, '岚舟演示商户', '西湖店'), (2, 1, '岚舟演示商户', ''), (3, 2, '岚舟第二商户', '城东店');
INSERT INTO ticket_types(id, shop_id, name, price, status) VALUES
    (1, 1, '成人票', 2000, 1), (2, 1, '儿童票', 1000, 1), (3, 1, '老人票', 1250, 1);
)sql");
    // The client built with this sandbox is up to date: no update prompt unless a test sets a newer version.
    db_->prepare("INSERT INTO versions(system, version_code) VALUES ('pc', ?)").bindAll(CASHIER_VERSION).exec();
    tx.commit();
}

QJsonObject Gateway::handle(const std::optional<Form>& form, const std::string& parseError) {
    try {
        if (!form) {
            return fail(kBadRequest, parseError);
        }
        const std::string action = need(*form, "action");
        return dispatch(action, *form);
    } catch (const BadRequest& e) {
        return fail(kBadRequest, e.message);
    } catch (const std::exception& e) {
        return fail(kRefused, std::string("网关内部错误: ") + e.what());
    }
}

std::optional<Gateway::Account> Gateway::accountForToken(const Form& f) {
    const std::string token = optional(f, "token");
    if (token.empty()) {
        return std::nullopt;
    }
    auto st = db_->prepare(
        "SELECT a.id, a.uname, a.rname, a.company FROM tokens t JOIN accounts a ON a.id = t.account_id "
        "WHERE t.token = ?");
    st.bindAll(token);
    if (!st.step()) {
        return std::nullopt;
    }
    return Account{st.integer(0), st.text(1), st.text(2), st.text(3)};
}

Gateway::Reply Gateway::dispatch(const std::string& action, const Form& f) {
    // The two charges identify the cashier by uid and may wait for the customer, so they lock on their own.
    if (action == "Pay.Ace.scanpay") {
        return charge(f, false);
    }
    if (action == "Pay.Ace.ticketscanpay") {
        return charge(f, true);
    }
    std::lock_guard lock(mutex_);
    if (action == "Share.Ace.login") {
        return login(f);
    }
    if (action == "Share.App.update") {
        return update(f);
    }
    using Handler = Reply (Gateway::*)(const Form&, const Account&);
    static const std::pair<const char*, Handler> tokenActions[] = {
        {"Account.Shop.listShop", &Gateway::listShop},
        {"Account.Print.doprint", &Gateway::doprint},
        {"Account.Pay.listPay", &Gateway::listPay},
        {"Account.Print.prinTtime", &Gateway::printTime},
        {"Account.Pay.listSumTicket", &Gateway::listSumTicket},
        {"Account.Print.logPrint", &Gateway::logPrint},
        {"Account.Pay.refund", &Gateway::refund},
        {"Account.Pay.cards", &Gateway::cards},
        {"Share.Ace.editPassword", &Gateway::editPassword},
        {"Share.Ace.editRefundPassword1", &Gateway::editRefundPassword1},
        {"Share.Ace.getQuestion", &Gateway::getQuestion},
        {"Share.Ace.setRefundPassword", &Gateway::setRefundPassword},
        {"Share.Ace.editRefundPassword", &Gateway::editRefundPassword},
    };
    for (const auto& [name, handler] : tokenActions) {
        if (action == name) {
            auto account = accountForToken(f);
            if (!account) {
                return fail(kBadToken, f.has("token") ? "登录已失效，请重新登录" : "缺少参数: token");
            }
            return (this->*handler)(f, *account);
        }
    }
    return fail(kBadRequest, "未知的操作: " + action);
}

Gateway::Reply Gateway::charge(const Form& f, bool withTickets) {
    const std::string code = need(f, "auth_code");
    const std::string moneyText = need(f, "money");
    const std::string uid = need(f, "uid");
    const std::string shopid = need(f, "shopid");
    const std::string ticketText = withTickets ? need(f, "ticket") : std::string();

    struct Line {
        int64_t typeId;
        std::string name;
        int64_t price;
        int64_t count;
    };
    std::vector<Line> lines;
    std::string operatorName;
    std::string shopName;
    int64_t accountId = 0;
    int64_t shopId = 0;
    const auto money = parseInteger(moneyText);
    const CodePlan plan = planFor(code);
    {
        std::lock_guard lock(mutex_);
        auto acc = db_->prepare("SELECT id, rname FROM accounts WHERE id = ?");
        acc.bindAll(parseInteger(uid).value_or(-1));
        if (!acc.step()) {
            return fail(kRefused, "收银员不存在");
        }
        accountId = acc.integer(0);
        operatorName = acc.text(1);
        auto shop = db_->prepare("SELECT id, main_name, branch_name FROM shops WHERE id = ? AND account_id = ?");
        shop.bindAll(parseInteger(shopid).value_or(-1), accountId);
        if (!shop.step()) {
            return fail(kRefused, "门店不存在或不属于该商户");
        }
        shopId = shop.integer(0);
        shopName = shop.text(1) + shop.text(2);
        if (!money) {
            return fail(kRefused, "金额格式错误");
        }
        if (*money <= 0) {
            return fail(kRefused, "支付金额必须大于0");
        }
        if (withTickets) {
            // "3:2,7:1," — ticket type id and count, each pair followed by a comma.
            for (const QString& part : q(ticketText).split(',', Qt::SkipEmptyParts)) {
                const QStringList idCount = part.split(':');
                bool idOk = false;
                bool countOk = false;
                const qlonglong typeId = idCount.value(0).toLongLong(&idOk);
                const qlonglong count = idCount.value(1).toLongLong(&countOk);
                if (idCount.size() != 2 || !idOk || !countOk || count <= 0 || count > 1000) {
                    return fail(kRefused, "门票信息错误: " + part.toStdString());
                }
                auto tt = db_->prepare(
                    "SELECT t.name, t.price FROM ticket_types t JOIN shops s ON s.id = t.shop_id "
                    "WHERE t.id = ? AND s.account_id = ?");
                tt.bindAll(static_cast<int64_t>(typeId), accountId);
                if (!tt.step()) {
                    return fail(kRefused, "门票类型不存在: " + std::to_string(typeId));
                }
                lines.push_back(Line{typeId, tt.text(0), tt.integer(1), count});
            }
            if (lines.empty()) {
                return fail(kRefused, "请选择门票");
            }
        }
        if (!plan.refusal.empty()) {
            return fail(kRefused, plan.refusal);
        }
    }

    // The customer confirms on the phone; meanwhile other requests go on.
    if (plan.waitForPassword && !sleep(options_.passwordWaitMs)) {
        return fail(kRefused, "网关正在停止，交易未完成");
    }

    std::lock_guard lock(mutex_);
    Transaction tx(*db_);
    const int64_t created = now();
    db_->prepare("INSERT INTO orders(account_id, shop_id, channel, money, created) VALUES (?, ?, ?, ?, ?)")
        .bindAll(accountId, shopId, plan.channel, *money, created)
        .exec();
    const int64_t orderId = db_->lastInsertId();
    const QDateTime when = QDateTime::fromSecsSinceEpoch(created, zone());
    const QString outTradeNo = when.toString("yyyyMMddhhmmss") + QString("%1").arg(orderId, 6, 10, QChar('0'));
    const QString tradeNo = plan.channel == "ALIPAY"
                                ? when.toString("yyyyMMdd") + "22001" + QString("%1").arg(orderId, 12, 10, QChar('0'))
                                : "4200" + when.toString("yyyyMMdd") + QString("%1").arg(orderId, 12, 10, QChar('0'));
    db_->prepare("UPDATE orders SET out_trade_no = ?, trade_no = ? WHERE id = ?")
        .bindAll(outTradeNo.toStdString(), tradeNo.toStdString(), orderId)
        .exec();

    QJsonArray tickets;
    for (const Line& l : lines) {
        db_->prepare("INSERT INTO order_tickets(order_id, type_id, name, price, count) VALUES (?, ?, ?, ?, ?)")
            .bindAll(orderId, l.typeId, l.name, l.price, l.count)
            .exec();
        for (int64_t i = 0; i < l.count; ++i) {
            tickets.append(QJsonObject{{"cardno", q(l.name)}, {"price", q(yuanText(l.price))}});
        }
    }
    // Codes ending 770n: the sale hands out n tags A01..A0n, splitting the amount between them.
    for (int i = 0; i < plan.items; ++i) {
        const int64_t share = *money / plan.items + (i == 0 ? *money % plan.items : 0);
        db_->prepare("INSERT INTO items(order_id, cardno, price) VALUES (?, ?, ?)")
            .bindAll(orderId, QString("A%1").arg(i + 1, 2, 10, QChar('0')).toStdString(), share)
            .exec();
    }
    tx.commit();

    QJsonObject content{{"code", 1},
                        {"msg", QString::fromUtf8(kSuccess)},
                        {"operator", q(operatorName)},
                        {"out_trade_no", outTradeNo},
                        {"trade_no", tradeNo},
                        {"pay_channel", q(plan.channel)},
                        {"tickets", tickets},
                        {"pay_date", timeText(created)},
                        {"shopname", q(shopName)}};
    // The client reads "money" as a number for ALIPAY and as a string otherwise.
    if (plan.channel == "ALIPAY") {
        content.insert("money", static_cast<double>(*money));
    } else {
        content.insert("money", fenText(*money));
    }
    return ok(content);
}

int64_t Gateway::findOrder(const std::string& tradeNo, int64_t accountId) {
    auto st = db_->prepare("SELECT id FROM orders WHERE (out_trade_no = ?1 OR trade_no = ?1) AND account_id = ?2");
    st.bindAll(tradeNo, accountId);
    return st.step() ? st.integer(0) : 0;
}

Gateway::Reply Gateway::doprint(const Form& f, const Account& a) {
    const int64_t orderId = findOrder(need(f, "no"), a.id);
    if (orderId == 0) {
        return fail(kRefused, "订单不存在");
    }
    db_->prepare("INSERT INTO prints(order_id, created) VALUES (?, ?)").bindAll(orderId, now()).exec();
    return ok(QJsonObject{{"code", 1}, {"msg", QString::fromUtf8(kSuccess)}});
}

Gateway::Reply Gateway::listPay(const Form& f, const Account& a) {
    std::string where = " WHERE o.account_id = ?";
    struct Arg {
        bool isText;
        std::string text;
        int64_t number;
    };
    std::vector<Arg> args{{false, {}, a.id}};

    const std::string start = optional(f, "start_date");
    const std::string end = optional(f, "end_date");
    if (!start.empty()) {
        auto t = parseLocalTime(start);
        if (!t) {
            return fail(kRefused, "开始日期格式错误: " + start);
        }
        where += " AND o.created >= ?";
        args.push_back({false, {}, *t});
    }
    if (!end.empty()) {
        auto t = parseLocalTime(end);
        if (!t) {
            return fail(kRefused, "结束日期格式错误: " + end);
        }
        where += " AND o.created <= ?";
        args.push_back({false, {}, *t});
    }
    const std::string tradeNo = optional(f, "tradeno");
    if (!tradeNo.empty()) {
        where += " AND (instr(o.out_trade_no, ?) > 0 OR instr(o.trade_no, ?) > 0)";
        args.push_back({true, tradeNo, 0});
        args.push_back({true, tradeNo, 0});
    }
    const std::string shopid = optional(f, "shopid");
    if (!shopid.empty()) {
        where += " AND o.shop_id = ?";
        args.push_back({false, {}, parseInteger(shopid).value_or(-1)});
    }
    const std::string cardno = optional(f, "cardno");
    if (!cardno.empty()) {
        where += " AND EXISTS (SELECT 1 FROM items i WHERE i.order_id = o.id AND i.cardno = ?)";
        args.push_back({true, cardno, 0});
    }
    auto bind = [&](Statement& st) {
        int i = 1;
        for (const Arg& arg : args) {
            if (arg.isText) {
                st.bindOne(i++, arg.text);
            } else {
                st.bindOne(i++, arg.number);
            }
        }
    };

    int64_t pageSize = parseInteger(optional(f, "page_num")).value_or(20);
    pageSize = std::clamp<int64_t>(pageSize, 1, 100);
    const int64_t page = std::max<int64_t>(1, parseInteger(optional(f, "p")).value_or(1));
    const bool ascending = optional(f, "ord") == "asc";

    const std::string sums =
        "SELECT COUNT(*), COALESCE(SUM(o.money), 0), COALESCE(SUM(o.refunded), 0), "
        "SUM(o.channel = 'WECHAT'), COALESCE(SUM(CASE WHEN o.channel = 'WECHAT' THEN o.money END), 0), "
        "SUM(o.channel = 'ALIPAY'), COALESCE(SUM(CASE WHEN o.channel = 'ALIPAY' THEN o.money END), 0) "
        "FROM orders o" +
        where;
    auto total = db_->prepare(sums.c_str());
    bind(total);
    total.step();
    const int64_t count = total.integer(0);

    const std::string rows =
        "SELECT o.trade_no, o.out_trade_no, o.money, o.refunded, o.channel, o.created, "
        "s.main_name || s.branch_name, "
        "(SELECT COALESCE(group_concat(i.cardno, ','), '') FROM items i WHERE i.order_id = o.id), o.shop_id "
        "FROM orders o JOIN shops s ON s.id = o.shop_id" +
        where + (ascending ? " ORDER BY o.created ASC, o.id ASC" : " ORDER BY o.created DESC, o.id DESC") +
        " LIMIT ? OFFSET ?";
    auto st = db_->prepare(rows.c_str());
    bind(st);
    st.bindOne(static_cast<int>(args.size()) + 1, pageSize);
    st.bindOne(static_cast<int>(args.size()) + 2, (page - 1) * pageSize);
    QJsonArray list;
    while (st.step()) {
        list.append(QJsonObject{{"trade_no", q(st.text(0))},
                                {"out_trade_no", q(st.text(1))},
                                {"money", fenText(st.integer(2))},
                                {"refundfee", fenText(st.integer(3))},
                                {"pay_channel", channelName(st.text(4))},
                                {"channel", q(st.text(4))},
                                {"finalinfo", finalInfo(st.integer(2), st.integer(3))},
                                {"pay_date", timeText(st.integer(5))},
                                {"shopname", q(st.text(6))},
                                {"cardno", q(st.text(7))},
                                {"shopid", QString::number(st.integer(8))}});
    }
    QJsonObject content{{"code", 1},
                        {"listpay", list},
                        {"total_count", QString::number(count)},
                        {"total_fee", fenText(total.integer(1))},
                        {"total_rfee", fenText(total.integer(2))},
                        {"total_wx", QString::number(total.integer(3))},
                        {"wechat_tfee", fenText(total.integer(4))},
                        {"total_al", QString::number(total.integer(5))},
                        {"alipay_tfee", fenText(total.integer(6))},
                        {"jdpay_tnum", "0"},
                        {"jdpay_tfee", "0"},
                        {"swipingcard_tnum", "0"},
                        {"swipingcard_tfee", "0"},
                        {"total_pos", "0"},
                        {"p", QString::number(page)},
                        {"total_page", static_cast<double>((count + pageSize - 1) / pageSize)}};
    return ok(content);
}

Gateway::Reply Gateway::printTime(const Form&, const Account& a) {
    // The shift runs from the last logged summary print (or today's midnight) to now.
    auto st = db_->prepare("SELECT MAX(created) FROM print_logs WHERE account_id = ?");
    st.bindAll(a.id);
    int64_t from = 0;
    if (st.step() && !st.isNull(0)) {
        from = st.integer(0);
    } else {
        from =
            QDateTime(QDateTime::currentDateTime().toTimeZone(zone()).date(), QTime(0, 0), zone()).toSecsSinceEpoch();
    }
    return ok(QJsonObject{{"code", 1}, {"time1", timeText(from)}, {"time2", timeText(now())}});
}

Gateway::Reply Gateway::listSumTicket(const Form& f, const Account& a) {
    const std::string t1Text = need(f, "time1");
    const std::string t2Text = need(f, "time2");
    const auto t1 = parseLocalTime(t1Text);
    const auto t2 = parseLocalTime(t2Text);
    if (!t1 || !t2) {
        return fail(kRefused, "时间格式错误");
    }
    int64_t all = 0;
    int64_t refundAll = 0;
    QJsonObject perChannel[2];
    const char* channels[2] = {"ALIPAY", "WECHAT"};
    for (int c = 0; c < 2; ++c) {
        auto m = db_->prepare(
            "SELECT COALESCE(SUM(money), 0) FROM orders WHERE account_id = ? AND channel = ? "
            "AND created BETWEEN ? AND ?");
        m.bindAll(a.id, channels[c], *t1, *t2);
        m.step();
        auto r = db_->prepare(
            "SELECT COALESCE(SUM(r.amount), 0) FROM refunds r JOIN orders o ON o.id = r.order_id "
            "WHERE o.account_id = ? AND o.channel = ? AND r.created BETWEEN ? AND ?");
        r.bindAll(a.id, channels[c], *t1, *t2);
        r.step();
        all += m.integer(0);
        refundAll += r.integer(0);
        perChannel[c] = QJsonObject{{"money", fenText(m.integer(0))}, {"refundmoney", fenText(r.integer(0))}};
    }
    QJsonArray tickets;
    auto t = db_->prepare(
        "SELECT ot.name, SUM(ot.price * ot.count), SUM(ot.count) FROM order_tickets ot "
        "JOIN orders o ON o.id = ot.order_id WHERE o.account_id = ? AND o.created BETWEEN ? AND ? "
        "GROUP BY ot.type_id, ot.name ORDER BY ot.type_id");
    t.bindAll(a.id, *t1, *t2);
    while (t.step()) {
        tickets.append(QJsonObject{
            {"cardno", q(t.text(0))}, {"sum", q(yuanText(t.integer(1)))}, {"num", QString::number(t.integer(2))}});
    }
    return ok(QJsonObject{{"code", 1},
                          {"time1", timeText(*t1)},
                          {"time2", timeText(*t2)},
                          {"allmoney", fenText(all)},
                          {"refundmoney", fenText(refundAll)},
                          {"ALIPAY", perChannel[0]},
                          {"WECHAT", perChannel[1]},
                          {"tickets", tickets}});
}

Gateway::Reply Gateway::logPrint(const Form& f, const Account& a) {
    const auto t1 = parseLocalTime(need(f, "time1"));
    const auto t2 = parseLocalTime(need(f, "time2"));
    if (!t1 || !t2) {
        return fail(kRefused, "时间格式错误");
    }
    db_->prepare("INSERT INTO print_logs(account_id, time1, time2, created) VALUES (?, ?, ?, ?)")
        .bindAll(a.id, *t1, *t2, now())
        .exec();
    return ok(QJsonObject{{"code", 1}, {"msg", QString::fromUtf8(kSuccess)}});
}

Gateway::Reply Gateway::refund(const Form& f, const Account& a) {
    const std::string amountText = need(f, "refundmoney");
    const std::string tradeNo = need(f, "tradeno");
    const std::string pwd = need(f, "pwd");
    const std::string cardText = optional(f, "cardno");

    const std::string refundHash = accountText(*db_, a.id, "refund_hash");
    if (refundHash.empty()) {
        return fail(kWrongRefundPassword, "尚未设置退款密码");
    }
    if (!verify(refundHash, pwd)) {
        return fail(kWrongRefundPassword, "退款密码错误");
    }
    const int64_t orderId = findOrder(tradeNo, a.id);
    if (orderId == 0) {
        return fail(kRefused, "订单不存在");
    }
    const auto amount = parseInteger(amountText);
    if (!amount || *amount <= 0) {
        return fail(kRefused, "退款金额必须大于0");
    }
    auto o = db_->prepare("SELECT money, refunded FROM orders WHERE id = ?");
    o.bindAll(orderId);
    o.step();
    const int64_t money = o.integer(0);
    const int64_t refunded = o.integer(1);
    if (refunded + *amount > money) {
        return fail(kRefused, "退款金额超过可退金额（可退" + yuanText(money - refunded) + "元）");
    }
    // Item boxes read "A08(20元)"; the number is the part before "(".
    std::vector<std::string> returned;
    for (const QString& box : q(cardText).split(',', Qt::SkipEmptyParts)) {
        const std::string no = box.section('(', 0, 0).trimmed().toStdString();
        if (no.empty()) {
            continue;
        }
        auto it = db_->prepare("SELECT state FROM items WHERE order_id = ? AND cardno = ?");
        it.bindAll(orderId, no);
        if (!it.step()) {
            return fail(kRefused, "订单中没有" + no);
        }
        if (it.integer(0) == 1) {
            return fail(kRefused, no + "已退回");
        }
        returned.push_back(no);
    }

    Transaction tx(*db_);
    db_->prepare("UPDATE orders SET refunded = refunded + ? WHERE id = ?").bindAll(*amount, orderId).exec();
    db_->prepare("INSERT INTO refunds(order_id, amount, cardno, created) VALUES (?, ?, ?, ?)")
        .bindAll(orderId, *amount, cardText, now())
        .exec();
    for (const std::string& no : returned) {
        db_->prepare("UPDATE items SET state = 1 WHERE order_id = ? AND cardno = ?").bindAll(orderId, no).exec();
    }
    tx.commit();
    const QString msg = QStringLiteral("退款成功");
    return QJsonObject{{"code", kOk},
                       {"msg", msg},
                       {"content", QJsonObject{{"code", 1},
                                               {"msg", msg},
                                               {"refundfee", fenText(refunded + *amount)},
                                               {"refundable", fenText(money - refunded - *amount)}}}};
}

Gateway::Reply Gateway::cards(const Form& f, const Account& a) {
    const int64_t orderId = findOrder(need(f, "no"), a.id);
    QJsonArray list;
    auto st = db_->prepare("SELECT cardno, state, price FROM items WHERE order_id = ? ORDER BY id");
    st.bindAll(orderId);
    while (st.step()) {
        list.append(QJsonObject{{"cardno", q(st.text(0))},
                                {"state", QString::number(st.integer(1))},
                                {"price", q(yuanText(st.integer(2)))}});
    }
    QJsonObject content{{"code", 1}, {"count", list.size()}, {"cards", list}};
    if (orderId == 0) {
        content.insert("msg", QStringLiteral("订单不存在"));
    }
    return ok(content);
}

bool Gateway::attachItems(const std::string& tradeNo, const std::vector<Item>& items, std::string* error) {
    std::lock_guard lock(mutex_);
    auto st = db_->prepare("SELECT id FROM orders WHERE out_trade_no = ?1 OR trade_no = ?1");
    st.bindAll(tradeNo);
    if (!st.step()) {
        *error = "no order " + tradeNo;
        return false;
    }
    const int64_t orderId = st.integer(0);
    Transaction tx(*db_);
    for (const Item& item : items) {
        db_->prepare("INSERT INTO items(order_id, cardno, price) VALUES (?, ?, ?)")
            .bindAll(orderId, item.cardno, item.price)
            .exec();
    }
    tx.commit();
    return true;
}

bool Gateway::removeOrder(const std::string& tradeNo, std::string* error) {
    std::lock_guard lock(mutex_);
    auto st = db_->prepare("SELECT id FROM orders WHERE out_trade_no = ?1 OR trade_no = ?1");
    st.bindAll(tradeNo);
    if (tradeNo.empty() || !st.step()) {
        *error = "no order " + tradeNo;
        return false;
    }
    const int64_t orderId = st.integer(0);
    Transaction tx(*db_);
    for (const char* table : {"order_tickets", "items", "refunds", "prints"}) {
        db_->prepare((std::string("DELETE FROM ") + table + " WHERE order_id = ?").c_str()).bindAll(orderId).exec();
    }
    db_->prepare("DELETE FROM orders WHERE id = ?").bindAll(orderId).exec();
    tx.commit();
    return true;
}

}  // namespace sandbox
