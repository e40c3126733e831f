#include "transactions/querylogic.h"

#include "app/money.h"

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

}  // namespace

QString shortYuan(std::optional<qint64> fen) {
    return fen ? money::fenToYuanTrimmed(*fen) : QString();
}

QString yuan2(std::optional<qint64> fen) {
    return fen ? money::fenToYuan2(*fen) : QString();
}

Summary summaryOf(const replies::ListingPage& p) {
    Summary s;
    s.wechat_num = p.wechatCount;
    s.wechat_money = shortYuan(p.wechatFen);
    s.apliy_num = p.alipayCount;
    s.apliy_money = shortYuan(p.alipayFen);
    s.jd_num = p.jdCount.isEmpty() ? QStringLiteral("0") : p.jdCount;
    s.jd_money = shortYuan(p.jdFen);
    // The bank-card count is only trusted when the gateway reports card payments at all.
    s.yl_num = p.cardReported.isEmpty() ? QStringLiteral("0") : p.cardCount;
    s.yl_money = shortYuan(p.cardFen);
    s.total_num = p.totalCount;
    s.sk_total = shortYuan(p.totalFen);
    s.total_rfee = shortYuan(p.refundFen);
    s.totalPage = p.totalPage;
    return s;
}

RowCells rowCells(const Order& order) {
    RowCells r;
    r.tradeNo = order.tradeNo;
    r.money = shortYuan(order.fen);
    r.refund = yuan2(order.refundFen);
    r.channel = order.payChannel;
    r.status = order.finalinfo;
    r.payDate = order.payDate;
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

QString listingFailure(const replies::Status& status) {
    if (status.refused()) {
        return replies::shown(status.message);
    }
    return QStringLiteral("数据查询失败，请检查网络设置");
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
