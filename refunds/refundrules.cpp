#include "refunds/refundrules.h"

#include "app/money.h"

#include <algorithm>

namespace refundrules {

namespace {
constexpr int kVisibleRowsGrowth = 90;  // three rows beyond the first; a fourth and more scroll
}  // namespace

AmountCheck checkRefundAmount(const QString& typed, const QString& orderMoneyFen) {
    AmountCheck check;
    const std::optional<qint64> fen = money::yuanTextToFenExact(typed);
    if (!fen || *fen <= 0) {
        check.message = QStringLiteral("请输入正确的退款金额：大于0，最多两位小数");
        return check;
    }
    if (*fen > money::fenFromText(orderMoneyFen)) {
        check.message = QStringLiteral("退款金额不能大于订单金额哦");
        return check;
    }
    check.ok = true;
    check.fen = *fen;
    return check;
}

QString itemBoxText(const Item& item) {
    return item.cardno + QLatin1Char('(') + item.price + QStringLiteral("元)");
}

QString cardNoField(const QStringList& checkedTexts) {
    QString field;
    for (const QString& text : checkedTexts) {
        field += text + QLatin1Char(',');
    }
    return field;
}

int itemBoxY(int index) {
    return kItemRowHeight * index + 5;
}

ItemListLayout itemListLayout(int boxes) {
    ItemListLayout layout;
    if (boxes <= 0) {
        return layout;
    }
    const int lastRowY = kItemRowHeight * (boxes - 1);
    layout.grow = std::min(lastRowY, kVisibleRowsGrowth);
    // Exactly the rows: up to four fit the list without a scroll bar.
    layout.contentHeight = kItemRowHeight * boxes;
    layout.listHeight = layout.grow + kItemRowHeight;
    return layout;
}

}  // namespace refundrules
