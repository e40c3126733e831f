#include "transactions/querylogic.h"

#include "app/shown.h"
#include "app/money.h"
#include <QMap>
#include <algorithm>
#include <numeric>

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

// Indices of `boxes` by row, each row left to right.
QMap<int, QVector<int>> rowsOf(const QVector<LabelSlot>& boxes) {
    QMap<int, QVector<int>> rows;
    for (int i = 0; i < boxes.size(); ++i) {
        rows[boxes[i].row].append(i);
    }
    for (QVector<int>& row : rows) {
        std::stable_sort(row.begin(), row.end(), [&](int a, int b) { return boxes[a].x < boxes[b].x; });
    }
    return rows;
}

bool fits(const QVector<LabelPlace>& places, int available) {
    return std::all_of(places.cbegin(), places.cend(),
                       [available](const LabelPlace& p) { return p.x + p.width <= available; });
}

// Each row chained from its first label's designed place: every label as wide as its text plus `keepPercent` of
// the room its design gives it beyond that, the designed gaps kept.
QVector<LabelPlace> squeezed(const QVector<LabelSlot>& boxes, int keepPercent) {
    QVector<LabelPlace> places(boxes.size());
    const QMap<int, QVector<int>> rows = rowsOf(boxes);
    for (const QVector<int>& row : rows) {
        int x = 0;
        for (int k = 0; k < row.size(); ++k) {
            const LabelSlot& box = boxes[row[k]];
            if (k == 0) {
                x = box.x;
            } else {
                const LabelSlot& prev = boxes[row[k - 1]];
                x += places[row[k - 1]].width + std::max(0, box.x - (prev.x + prev.width));
            }
            places[row[k]] = {x, box.needed + std::max(0, box.width - box.needed) * keepPercent / 100};
        }
    }
    return places;
}

}  // namespace

std::optional<QVector<LabelPlace>> fitSummaryLabels(const QVector<LabelSlot>& boxes, int available) {
    const QMap<int, QVector<int>> rows = rowsOf(boxes);
    // The label before each one in its row (-1 for the first).
    QVector<int> before(boxes.size(), -1);
    for (const QVector<int>& row : rows) {
        for (int k = 1; k < row.size(); ++k) {
            before[row[k]] = row[k - 1];
        }
    }

    // Designed places, each label grown to its text and shifted by what grew before it.
    QVector<LabelPlace> places(boxes.size());
    QVector<int> shift(boxes.size(), 0);
    QVector<int> byX(boxes.size());
    std::iota(byX.begin(), byX.end(), 0);
    std::stable_sort(byX.begin(), byX.end(), [&](int a, int b) { return boxes[a].x < boxes[b].x; });
    int running = 0;
    for (int k = 0; k < byX.size();) {
        int end = k;
        int s = running;
        while (end < byX.size() && boxes[byX[end]].x == boxes[byX[k]].x) {
            const int i = byX[end];
            if (const int p = before[i]; p >= 0) {
                s = std::max(s, shift[p] + std::max(0, boxes[p].needed - boxes[p].width));
            }
            ++end;
        }
        for (int j = k; j < end; ++j) {
            const int i = byX[j];
            shift[i] = s;
            places[i] = {boxes[i].x + s, std::max(boxes[i].width, boxes[i].needed)};
        }
        running = s;
        k = end;
    }
    if (fits(places, available)) {
        return places;
    }

    // Too wide: the room labels have beyond their texts is given up evenly, as little as needed.
    for (int keep = 95; keep >= 0; keep -= 5) {
        places = squeezed(boxes, keep);
        if (fits(places, available)) {
            return places;
        }
    }
    return std::nullopt;
}

QVector<LabelPlace> packSummaryLabels(const QVector<LabelSlot>& boxes) {
    return squeezed(boxes, 0);
}

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
        return display::shown(status.message);
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
