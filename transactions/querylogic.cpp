#include "transactions/querylogic.h"

#include "app/money.h"
#include "gateway/reply.h"

#include <QJsonArray>
#include <QJsonValue>

namespace transactions {

namespace {

const QString kRefundSucceeded = QStringLiteral("退款成功");
const QString kRefundedClosed = QStringLiteral("已退款,交易关闭");
const QString kCardChannel = QStringLiteral("刷卡");

// A page count or page number typed or shown as text; nullopt when it is not a number an int holds.
std::optional<int> pageNumber(const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok, 10);
    return ok ? std::optional<int>(n) : std::nullopt;
}

// "code" as a number, whether the gateway typed it as a number or as text; nullopt when absent.
std::optional<int> codeOf(const QJsonObject& obj) {
    const QJsonValue v = obj.value(QStringLiteral("code"));
    if (v.isDouble()) {
        return v.toInt(-1);
    }
    if (v.isString()) {
        bool ok = false;
        const int n = v.toString().toInt(&ok, 10);
        return ok ? n : -1;
    }
    return std::nullopt;
}

}  // namespace

qint64 fenOf(const QJsonObject& obj, const char* key) {
    const QJsonValue v = obj.value(QLatin1String(key));
    if (v.isDouble()) {
        return money::fenFromNumber(v.toDouble());  // 0 for a number no amount can be
    }
    return money::fenFromText(v.toString());
}

QString shortYuan(qint64 fen) {
    return money::fenToYuanTrimmed(fen);
}

Summary summaryOf(const QJsonObject& c) {
    Summary s;
    s.wechat_num = reply::str(c, "total_wx");
    s.wechat_money = shortYuan(fenOf(c, "wechat_tfee"));
    s.apliy_num = reply::str(c, "total_al");
    s.apliy_money = shortYuan(fenOf(c, "alipay_tfee"));
    s.jd_num = reply::str(c, "jdpay_tnum");
    if (s.jd_num.isEmpty()) {
        s.jd_num = QStringLiteral("0");
    }
    s.jd_money = shortYuan(fenOf(c, "jdpay_tfee"));
    // The bank-card count is only trusted when the gateway reports card payments at all.
    s.yl_num = reply::str(c, "swipingcard_tnum").isEmpty() ? QStringLiteral("0") : reply::str(c, "total_pos");
    s.yl_money = shortYuan(fenOf(c, "swipingcard_tfee"));
    s.total_num = reply::str(c, "total_count");
    s.sk_total = shortYuan(fenOf(c, "total_fee"));
    s.total_rfee = shortYuan(fenOf(c, "total_rfee"));
    s.totalPage = reply::num(c, "total_page");
    return s;
}

RowCells rowCells(const QJsonObject& order) {
    RowCells r;
    r.tradeNo = reply::str(order, "trade_no");
    r.money = shortYuan(fenOf(order, "money"));
    r.refund = money::fenToYuan2(fenOf(order, "refundfee"));
    r.channel = reply::str(order, "pay_channel");
    r.status = reply::str(order, "finalinfo");
    r.payDate = reply::str(order, "pay_date");
    return r;
}

bool isRefundedStatus(const QString& finalinfo) {
    return finalinfo == kRefundSucceeded || finalinfo == kRefundedClosed;
}

RefundButton refundButtonKind(const QString& finalinfo, const QString& payChannel) {
    if (isRefundedStatus(finalinfo)) {
        return RefundButton::Refunded;
    }
    if (payChannel == kCardChannel) {
        return RefundButton::NotSupported;
    }
    return RefundButton::Refund;
}

QString refundButtonText(RefundButton kind) {
    switch (kind) {
        case RefundButton::Refunded:
            return QStringLiteral("已退款");
        case RefundButton::NotSupported:
            return QStringLiteral("暂不支持");
        case RefundButton::Refund:
            break;
    }
    return QStringLiteral("退款");
}

std::optional<QString> replyFailure(const QJsonObject& root) {
    const QJsonObject content = reply::content(root);
    // Rows that came are the answer, whatever else the envelope says.
    if (content.value(QStringLiteral("listpay")).isArray()) {
        return std::nullopt;
    }
    const std::optional<int> top = codeOf(root);
    const std::optional<int> inner = codeOf(content);
    const bool failed = (top && *top != 1) || (inner && *inner == 0);
    if (!failed) {
        return std::nullopt;
    }
    QString msg = reply::str(content, "msg");
    if (msg.isEmpty()) {
        msg = reply::str(root, "msg");
    }
    if (msg.isEmpty()) {
        msg = QStringLiteral("数据查询失败(错误码 %1)").arg(top.value_or(inner.value_or(0)));
    }
    return msg;
}

PageStep previousPage(int current) {
    if (current < 2) {
        return {};
    }
    return {true, current - 1, {}};
}

PageStep nextPage(int current, const QString& totalText) {
    const int total = pageNumber(totalText).value_or(0);
    if (current >= total) {
        return {};
    }
    return {true, current + 1, {}};
}

PageStep goToPage(const QString& wantedText, const QString& totalText) {
    const QString wanted = wantedText.trimmed();
    if (wanted.isEmpty()) {
        return {false, 0, QStringLiteral("请输入要查询的页码")};
    }
    const int total = pageNumber(totalText).value_or(0);
    const std::optional<int> page = pageNumber(wanted);
    // Digits too many for a page number are past any page count.
    if (!page || *page > total) {
        return {false, 0, QStringLiteral("查询的页码大于总页码")};
    }
    if (*page < 1) {
        return {false, 0, QStringLiteral("查询的页码不能小于1")};
    }
    return {true, *page, {}};
}

QString shownCurrentPage(int current, int totalPage, const QString& shownBefore) {
    if (current > 0 && totalPage >= current) {
        return QString::number(current);
    }
    return shownBefore;
}

}  // namespace transactions
