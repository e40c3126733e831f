#include "replies.h"

#include "gateway/gatewayclock.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <cmath>

namespace replies {

namespace {

// Twelve digits of yuan: beyond any sale, and well inside what a double holds exactly.
constexpr qint64 kMaxFen = 100000000000000LL;

bool isDigits(const QString& s) {
    if (s.isEmpty() || s.size() > 15) {
        return false;
    }
    for (const QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return false;
        }
    }
    return true;
}

const QString kChargePaid = QStringLiteral("成功");
const QString kRefundDone = QStringLiteral("退款成功");
constexpr int kCodeWrongPassword = 5;

}  // namespace

std::optional<qint64> fen(const QJsonValue& v) {
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (!(d >= 0 && d <= static_cast<double>(kMaxFen)) || std::floor(d) != d) {
            return std::nullopt;
        }
        return static_cast<qint64>(d);
    }
    if (v.isString()) {
        const QString s = v.toString().trimmed();
        if (!isDigits(s)) {
            return std::nullopt;
        }
        const qint64 n = s.toLongLong();
        return n <= kMaxFen ? std::optional<qint64>(n) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<qint64> netFen(const QJsonValue& v) {
    if (v.isDouble() && v.toDouble() < 0) {
        const std::optional<qint64> magnitude = fen(QJsonValue(-v.toDouble()));
        return magnitude ? std::optional<qint64>(-*magnitude) : std::nullopt;
    }
    if (v.isString() && v.toString().trimmed().startsWith(QLatin1Char('-'))) {
        const std::optional<qint64> magnitude = fen(QJsonValue(v.toString().trimmed().mid(1)));
        return magnitude ? std::optional<qint64>(-*magnitude) : std::nullopt;
    }
    return fen(v);
}

QString text(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isString()) {
        return v.toString();
    }
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (std::isfinite(d) && std::floor(d) == d && std::fabs(d) < 1e15) {
            return QString::number(static_cast<qint64>(d));
        }
    }
    return QString();
}

std::optional<int> integer(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (std::isfinite(d) && std::floor(d) == d && std::fabs(d) <= 2147483647.0) {
            return static_cast<int>(d);
        }
        return std::nullopt;
    }
    if (v.isString()) {
        bool ok = false;
        const int n = v.toString().trimmed().toInt(&ok, 10);
        return ok ? std::optional<int>(n) : std::nullopt;
    }
    return std::nullopt;
}

QDateTime parsePayDate(const QString& textIn, const QTimeZone& zone) {
    const QString t = textIn.trimmed();
    if (t.isEmpty()) {
        return {};
    }
    bool isNumber = false;
    const qint64 secs = t.toLongLong(&isNumber);
    if (isNumber) {
        return secs > 0 ? QDateTime::fromSecsSinceEpoch(secs, Qt::UTC) : QDateTime();
    }
    // The gateway's wall clock, in its zone: read as fields (through this PC's zone a time could fall in a gap).
    const int space = t.indexOf(QLatin1Char(' '));
    if (space < 0) {
        return {};
    }
    const QString day = t.left(space);
    const QString clock = t.mid(space + 1).trimmed();
    QTime tm = QTime::fromString(clock, QStringLiteral("hh:mm:ss"));
    if (!tm.isValid()) {
        tm = QTime::fromString(clock, QStringLiteral("h:m:s"));
    }
    for (const char* dayFormat : {"yyyy-MM-dd", "yyyy-M-d", "yyyy/M/d"}) {
        const QDate d = QDate::fromString(day, QString::fromLatin1(dayFormat));
        if (d.isValid() && tm.isValid()) {
            return gateway::fromWall(d, tm, zone);
        }
    }
    return {};
}

Order saleOf(const QJsonObject& content, const QTimeZone& zone) {
    Order s;
    s.operatorName = text(content, "operator");
    s.outTradeNo = text(content, "out_trade_no");
    s.tradeNo = text(content, "trade_no");
    s.payChannel = text(content, "pay_channel");
    s.fen = fen(content, "money");
    s.payDate = text(content, "pay_date");
    s.paidAt = parsePayDate(s.payDate, zone);
    s.shopName = text(content, "shopname");
    const QJsonArray tickets = content.value(QLatin1String("tickets")).toArray();
    for (const QJsonValue& t : tickets) {
        const QJsonObject o = t.toObject();
        s.tickets.append(SoldTicket{text(o, "cardno"), text(o, "price")});
    }
    return s;
}

ChargeResult charge(const gateway::Reply& reply) {
    ChargeResult r;
    if (reply.kind == gateway::Reply::NotSent) {
        r.outcome = Outcome::NotSent;
        return r;
    }
    if (!reply.ok()) {
        return r;  // sent, and no envelope came back: unknown
    }
    const QJsonValue contentValue = reply.root.value(QLatin1String("content"));
    const QJsonValue msgValue = contentValue.toObject().value(QLatin1String("msg"));
    if (!contentValue.isObject() || !msgValue.isString() || msgValue.toString().trimmed().isEmpty()) {
        return r;  // an envelope that says nothing about the charge
    }
    const QString msg = msgValue.toString();
    if (msg == kChargePaid) {
        r.outcome = Outcome::Paid;
        r.sale = saleOf(contentValue.toObject(), reply.zone);
        return r;
    }
    r.message = msg;
    r.outcome = mayStillBeDone(msg) ? Outcome::Unknown : Outcome::Refused;
    return r;
}

namespace {
// The gateway's words for "no money moved, and here is why". Anything it says that is not on this list, however
// much it sounds like a refusal, may hide a payment the gateway took: it is looked up, never taken for a refusal.
const QRegularExpression& knownRefusal() {
    static const QRegularExpression re(QStringLiteral(
        "余额不足|额度不足|资金不足"
        "|(付款码|条码|二维码|授权码).*(过期|失效|无效|错误|已使用|不能为空|不正确)|不支持的(付款码|条码)"
        "|密码错误|密码不正确|尚未设置.*密码"
        "|限额|超限|超过可退|可退金额|已全额退款|已退回|订单中没有"
        "|不存在|不属于|格式错误|必须大于|信息错误|请选择|参数错误|签名错误|金额错误"
        "|token无效|登录已过期|登录已失效|登录失效|请重新登录"
        "|已关闭|已撤销|已取消|拒绝|风控|冻结"
        "|NOTENOUGH|AUTHCODEEXPIRE|AUTH_CODE_INVALID|PARAM_ERROR|ORDERCLOSED|ORDERREVERSED"));
    return re;
}
// Words that leave the outcome open whatever else the message says: the gateway is busy, has accepted the request,
// is waiting for the customer, or does not know.
const QRegularExpression& stillOpen() {
    static const QRegularExpression re(
        QStringLiteral("繁忙|未知|受理|稍后|支付中|处理中|等待|输入密码|超时|系统异常|网络异常|系统错误|未完成"
                       "|USERPAYING|SYSTEMERROR|BANKERROR|UNKNOWN|PROCESSING|TIMEOUT"));
    return re;
}
}  // namespace

bool mayStillBeDone(const QString& message) {
    // Only the exact success text completes a sale, and only a refusal in known words lets the cashier start
    // another one: a success in other words, a payment still under way, or words this client does not know may all
    // end with the money taken.
    if (message.contains(stillOpen())) {
        return true;
    }
    const bool saysSuccess =
        message.contains(QStringLiteral("成功")) || message.contains(QLatin1String("SUCCESS"), Qt::CaseInsensitive);
    if (saysSuccess && !message.contains(QRegularExpression(QStringLiteral("未成功|不成功|失败|FAIL")))) {
        return true;
    }
    return !message.contains(knownRefusal());
}

RefundResult refund(const gateway::Reply& reply) {
    RefundResult r;
    if (reply.kind == gateway::Reply::NotSent) {
        r.outcome = Outcome::NotSent;
        return r;
    }
    if (!reply.ok()) {
        return r;
    }
    const QJsonValue msgValue = reply.root.value(QLatin1String("msg"));
    if (!msgValue.isString() || msgValue.toString().trimmed().isEmpty()) {
        return r;
    }
    r.message = msgValue.toString();
    if (r.message == kRefundDone) {
        r.outcome = Outcome::Paid;
        return r;
    }
    if (mayStillBeDone(r.message)) {
        return r;  // unknown: looked up, never sent again
    }
    r.outcome = Outcome::Refused;
    r.wrongPassword = integer(reply.root, "code") == kCodeWrongPassword;
    return r;
}

}  // namespace replies
