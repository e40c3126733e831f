// Gateway replies from arbitrary bytes, read the way the windows read them: the version check, the login (session
// fields and ticket kinds), the store list, the charge reply, the result window and its receipt, and the transaction
// query page (summary, paging, rows, refund buttons, the reprinted receipt) and the shift summary.
#include "app/money.h"
#include "app/usersession.h"
#include "app/version.h"
#include "collect/collectlogic.h"
#include "fuzz/fuzzcheck.h"
#include "fuzz/qtjsonleak.h"
#include "gateway/reply.h"
#include "receipts/receipthtml.h"
#include "transactions/querylogic.h"
#include "transactions/shiftsummarylogic.h"

#include <QJsonArray>
#include <QJsonValue>

#include <cstddef>
#include <cstdint>

namespace {

// Markup in the receipt comes from the template only: a gateway value never adds a tag.
int tags(const QString& html) {
    return html.count(QLatin1Char('<'));
}

void readAnyField(const QJsonObject& o) {
    const QStringList keys = o.keys();
    for (const QString& key : keys) {
        const QByteArray k = key.toUtf8();
        (void)reply::str(o, k.constData());
        (void)reply::num(o, k.constData());
        (void)reply::dbl(o, k.constData());
        (void)reply::obj(o, k.constData());
        (void)reply::arr(o, k.constData());
        (void)reply::strToInt(o, k.constData());
    }
}

void readVersion(const QJsonObject& content) {
    (void)reply::num(content, "code");
    (void)isNewerVersion(reply::str(content, "version_code"), QStringLiteral("3.0.1"));
}

void readLogin(const QJsonObject& content) {
    UserSession session;
    session.setLoginContent(content);
    (void)(session.token() + session.uid() + session.rname() + session.uname());
    QList<collect::TicketLine> lines;
    const QJsonArray tickets = reply::arr(content, "ticket");
    for (const QJsonValue& value : tickets) {
        const QJsonObject t = value.toObject();
        collect::TicketLine line;
        line.id = reply::str(t, "id").toInt();
        (void)reply::str(t, "shopid").toInt();
        (void)reply::str(t, "status").toInt();
        (void)reply::str(t, "name");
        line.price = reply::str(t, "price").toDouble();
        line.count = lines.size() + 1;
        const qint64 fen = collect::priceToFen(line.price);
        FUZZ_CHECK(fen >= 0);
        (void)money::fenToYuanTrimmed(fen);
        lines.append(line);
    }
    FUZZ_CHECK(collect::ticketTotalFen(lines) >= 0);
    (void)collect::ticketSelection(lines);
}

void readShops(const QJsonObject& content) {
    const QJsonArray shops = reply::arr(content, "listshop");
    for (const QJsonValue& value : shops) {
        UserSession session;
        session.setCurrentShop(value.toObject());
        (void)(shopDisplayText(session.currentShop()) + session.shopId());
    }
}

void readCharge(const QJsonObject& content) {
    if (reply::str(content, "msg") != QStringLiteral("成功")) {
        return;
    }
    const qint64 fen = reply::paidFen(content);
    QList<receipts::TicketSold> sold;
    QList<receipts::TicketSold> plain;
    const QJsonArray tickets = reply::arr(content, "tickets");
    for (const QJsonValue& value : tickets) {
        const QJsonObject t = value.toObject();
        sold.append({reply::str(t, "cardno"), reply::str(t, "price")});
        plain.append({QStringLiteral("x"), QStringLiteral("x")});
    }
    const QString ticketsHtml = receipts::saleTicketsHtml(sold);
    FUZZ_CHECK(tags(ticketsHtml) == tags(receipts::saleTicketsHtml(plain)));

    receipts::SaleReceipt r;
    r.shopName = reply::str(content, "shopname");
    r.operatorName = reply::str(content, "operator");
    r.payDate = reply::str(content, "pay_date");
    r.orderNo = reply::str(content, "out_trade_no");
    r.payWay = reply::isAlipay(content) ? QStringLiteral("支付宝") : QStringLiteral("微信");
    r.moneyText = money::fenToYuan2(fen);
    r.ticketsHtml = ticketsHtml;
    r.outTradeNo = r.orderNo;
    receipts::SaleReceipt blank;
    blank.ticketsHtml = ticketsHtml;
    blank.payWay = r.payWay;
    blank.moneyText = r.moneyText;
    FUZZ_CHECK(tags(receipts::saleReceiptHtml(r)) == tags(receipts::saleReceiptHtml(blank)));
}

void readTransactions(const QJsonObject& root) {
    if (transactions::replyFailure(root)) {
        return;
    }
    const QJsonObject content = reply::content(root);
    const transactions::Summary s = transactions::summaryOf(content);
    const QString total = QString::number(s.totalPage);
    for (const int current : {0, 1, 2}) {
        (void)transactions::shownCurrentPage(current, s.totalPage, QStringLiteral("1"));
        const transactions::PageStep next = transactions::nextPage(current, total);
        FUZZ_CHECK(!next.send || next.page >= 1);
    }
    (void)transactions::goToPage(reply::str(content, "total_page"), total);

    const QJsonArray list = reply::arr(content, "listpay");
    for (const QJsonValue& value : list) {
        const QJsonObject order = value.toObject();
        const transactions::RowCells cells = transactions::rowCells(order);
        (void)transactions::refundButtonText(transactions::refundButtonKind(cells.status, cells.channel));

        receipts::ReprintReceipt r;
        r.refunded = transactions::isRefundedStatus(reply::str(order, "finalinfo"));
        r.shopName = reply::str(order, "shopname");
        r.payDate = reply::str(order, "pay_date");
        r.outTradeNo = reply::str(order, "out_trade_no");
        r.payChannel = reply::str(order, "pay_channel");
        r.moneyText = money::fenToYuan2(transactions::fenOf(order, "money"));
        r.cardNo = reply::str(order, "cardno");
        r.refundText = money::fenToYuan2(transactions::fenOf(order, "refundfee"));
        r.tradeNo = reply::str(order, "trade_no");
        receipts::ReprintReceipt blank;
        blank.refunded = r.refunded;
        blank.moneyText = r.moneyText;
        blank.refundText = r.refundText;
        FUZZ_CHECK(tags(receipts::reprintReceiptHtml(r)) == tags(receipts::reprintReceiptHtml(blank)));
    }
}

void readShiftSummary(const QJsonObject& content) {
    if (shiftsummary::isTotalsReply(content)) {
        const shiftsummary::Labels labels = shiftsummary::labelsFromTotals(content);
        FUZZ_CHECK(labels.total.endsWith(QStringLiteral("元")));
    }
    const QJsonArray shops = reply::arr(content, "listshop");
    for (const QJsonValue& value : shops) {
        (void)shiftsummary::shopLabel(value.toObject());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const QJsonObject root = reply::parse(bytes);
    const QJsonObject content = reply::content(root);
    readAnyField(root);
    readAnyField(content);
    readVersion(content);
    readLogin(content);
    readShops(content);
    readCharge(content);
    readTransactions(root);
    readShiftSummary(content);
    return 0;
}
