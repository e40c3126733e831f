// Gateway replies from arbitrary bytes, read by every action's reader the way the windows use them: the version
// check, the login (session and ticket kinds), the store list, the charge and refund outcomes with the result
// receipt, the transaction query page (summary, paging, rows, refund buttons, the reprinted receipt), the shift
// summary, the item list, the password pages and the security question.
#include "app/shown.h"
#include "app/money.h"
#include "app/usersession.h"
#include "app/version.h"
#include "collect/collectlogic.h"
#include "fuzz/fuzzcheck.h"
#include "fuzz/qtjsonleak.h"
#include "gateway/replies.h"
#include "receipts/receipthtml.h"
#include "transactions/querylogic.h"
#include "transactions/shiftsummarylogic.h"

#include <cstddef>
#include <cstdint>

namespace {

// Markup in the receipt comes from the template only: a gateway value never adds a tag.
int tags(const QString& html) {
    return html.count(QLatin1Char('<'));
}

// A verdict is one of three, and only a refusal carries the gateway's words; what is shown of them stays short.
void checkStatus(const replies::Status& s) {
    FUZZ_CHECK(s.ok() || s.refused() || s.verdict == replies::Verdict::Unusable);
    FUZZ_CHECK(display::shown(s.message).size() <= display::kShownChars + 1);
}

void checkFen(std::optional<qint64> fen) {
    FUZZ_CHECK(!fen || *fen >= 0);
}

void readAnyField(const QJsonObject& o) {
    const QStringList keys = o.keys();
    for (const QString& key : keys) {
        const QByteArray k = key.toUtf8();
        (void)replies::text(o, k.constData());
        (void)replies::integer(o, k.constData());
        checkFen(replies::fen(o, k.constData()));
        (void)replies::netFen(o.value(key));
    }
}

void readVersion(const gateway::Reply& r) {
    const auto offer = replies::versionOffer(r);
    checkStatus(offer.status);
    (void)isNewerVersion(offer.value.versionCode, QStringLiteral("3.0.1"));
}

void readLogin(const gateway::Reply& r) {
    const auto login = replies::login(r);
    checkStatus(login.status);
    if (!login.ok()) {
        FUZZ_CHECK(login.value.tickets.isEmpty());
        return;
    }
    FUZZ_CHECK(!login.value.info.token.trimmed().isEmpty());
    UserSession session;
    session.setLoginInfo(login.value.info);
    (void)(session.token() + session.uid() + session.rname() + session.uname() + session.company());
    QList<collect::TicketLine> lines;
    for (const TicketType& t : login.value.tickets) {
        FUZZ_CHECK(t.priceFen >= 0);
        (void)money::fenToYuanTrimmed(t.priceFen);
        lines.append({t.id, static_cast<int>(lines.size()) + 1, t.priceFen});
    }
    FUZZ_CHECK(collect::ticketTotalFen(lines) >= 0);
    (void)collect::ticketSelection(lines);
}

void readShops(const gateway::Reply& r) {
    const auto shops = replies::shopList(r);
    checkStatus(shops.status);
    UserSession session;
    for (int i = 0; i < shops.value.size(); ++i) {
        session.insertShop(i, shops.value.at(i));
        session.setCurrentShop(session.shopAt(i));
        (void)(shopDisplayText(session.currentShop()) + session.shopId() + shiftsummary::shopLabel(shops.value.at(i)));
    }
}

void readCharge(const gateway::Reply& r) {
    const replies::ChargeResult charge = replies::charge(r);
    FUZZ_CHECK(charge.outcome != replies::Outcome::NotSent);  // every input here was answered
    FUZZ_CHECK(charge.outcome != replies::Outcome::Refused || !charge.message.trimmed().isEmpty());
    if (charge.outcome != replies::Outcome::Paid) {
        return;
    }
    const Order& sale = charge.sale;
    checkFen(sale.fen);
    QList<SoldTicket> plain;
    for (int i = 0; i < sale.tickets.size(); ++i) {
        plain.append({QStringLiteral("x"), QStringLiteral("x")});
    }
    const QString ticketsHtml = receipts::saleTicketsHtml(sale.tickets);
    FUZZ_CHECK(tags(ticketsHtml) == tags(receipts::saleTicketsHtml(plain)));

    receipts::SaleReceipt receipt;
    receipt.shopName = sale.shopName;
    receipt.operatorName = sale.operatorName;
    receipt.payDate = sale.payDate;
    receipt.orderNo = sale.orderNo();
    receipt.payWay = sale.alipay() ? QStringLiteral("支付宝") : QStringLiteral("微信");
    receipt.moneyText = money::fenToYuan2(sale.fen.value_or(0));
    receipt.ticketsHtml = ticketsHtml;
    receipt.outTradeNo = receipt.orderNo;
    receipts::SaleReceipt blank;
    blank.ticketsHtml = ticketsHtml;
    blank.payWay = receipt.payWay;
    blank.moneyText = receipt.moneyText;
    FUZZ_CHECK(tags(receipts::saleReceiptHtml(receipt)) == tags(receipts::saleReceiptHtml(blank)));
}

void readRefund(const gateway::Reply& r) {
    const replies::RefundResult refund = replies::refund(r);
    FUZZ_CHECK(refund.outcome != replies::Outcome::NotSent);
    FUZZ_CHECK(!refund.wrongPassword || refund.outcome == replies::Outcome::Refused);
}

void readTransactions(const gateway::Reply& r) {
    const auto page = replies::listing(r);
    checkStatus(page.status);
    if (!page.ok()) {
        (void)transactions::listingFailure(page.status);
        return;
    }
    const transactions::Summary s = transactions::summaryOf(page.value);
    const QString total = QString::number(s.totalPage);
    for (const int current : {0, 1, 2}) {
        (void)transactions::shownCurrentPage(current, s.totalPage, QStringLiteral("1"));
        const transactions::PageStep next = transactions::nextPage(current, total);
        FUZZ_CHECK(!next.send || next.page >= 1);
    }
    (void)transactions::goToPage(page.value.totalCount, total);

    for (const Order& order : page.value.rows) {
        checkFen(order.fen);
        checkFen(order.refundFen);
        const transactions::RowCells cells = transactions::rowCells(order);
        (void)transactions::refundButtonText(transactions::refundButtonKind(cells.status, cells.channel));

        const receipts::ReprintReceipt receipt =
            receipts::reprintReceiptOf(order, transactions::isRefundedStatus(order.finalinfo));
        receipts::ReprintReceipt blank;
        blank.refunded = receipt.refunded;
        blank.moneyText = receipt.moneyText;
        blank.refundText = receipt.refundText;
        FUZZ_CHECK(tags(receipts::reprintReceiptHtml(receipt)) == tags(receipts::reprintReceiptHtml(blank)));
    }
}

void readShiftSummary(const gateway::Reply& r) {
    checkStatus(replies::printTime(r).status);
    checkStatus(replies::printLogged(r));
    const auto totals = replies::totals(r);
    checkStatus(totals.status);
    if (totals.ok()) {
        FUZZ_CHECK(totals.value.allFen.has_value());
        const shiftsummary::Labels labels = shiftsummary::labelsFromTotals(totals.value);
        FUZZ_CHECK(labels.total.endsWith(QStringLiteral("元")));
    } else {
        (void)shiftsummary::totalsFailure(totals.status);
    }
}

void readSettingsAndItems(const gateway::Reply& r) {
    const auto items = replies::items(r);
    checkStatus(items.status);
    FUZZ_CHECK(!items.ok() || items.value.count >= 0);
    checkStatus(replies::passwordChange(r));
    checkStatus(replies::refundPasswordChange(r));
    checkStatus(replies::question(r).status);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const gateway::Reply r = gateway::readReply(HttpFun::Ending::Answered, 200, true, bytes);
    readAnyField(r.root);
    readAnyField(r.root.value(QLatin1String("content")).toObject());
    readVersion(r);
    readLogin(r);
    readShops(r);
    readCharge(r);
    readRefund(r);
    readTransactions(r);
    readShiftSummary(r);
    readSettingsAndItems(r);
    return 0;
}
