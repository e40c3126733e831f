#include "receipts/receipthtml.h"

#include "app/shown.h"
#include "app/money.h"

namespace receipts {

namespace {

// The sale receipt is printed in smaller type with bold amounts, a larger banner and a shorter rule to sign over.
const ReceiptLook kSaleLook{50, {20, false}, {28, true}, 13, {20, false}, 22};
// The copies printed from the transaction list: the reprint and the refund receipt.
const ReceiptLook kCopyLook{30, {23, false}, {30, false}, 15, {20, false}, 25};

QString yuan2(const std::optional<qint64>& fen) {
    return fen ? money::fenToYuan2(*fen) : QString();  // an amount not sent is not known: printed empty
}

}  // namespace

QString ticketLine(const SoldTicket& ticket) {
    return ticket.name + QLatin1Char('(') + ticket.price + QStringLiteral("元)");
}

QString saleTicketsHtml(const QList<SoldTicket>& tickets) {
    QStringList lines;
    for (const SoldTicket& t : tickets) {
        lines.append(ticketLine(t));
    }
    return ticketBlockHtml(lines);
}

QString saleReceiptHtml(const SaleReceipt& r) {
    ReceiptWriter w(kSaleLook, nbsp(25) + QStringLiteral("移动收银台"));
    w.stub()
        .line(QStringLiteral("收款门店："), r.shopName)
        .line(QStringLiteral("操作员："), r.operatorName)
        .line(QStringLiteral("交易时间："), r.payDate)
        .line(QStringLiteral("系统单号："), r.orderNo)
        .emphasis(QStringLiteral("支付方式："), r.payWay)
        .emphasis(QStringLiteral("交易金额(RMB)：￥"), r.moneyText)
        .html(QStringLiteral("<br>"))
        .line(QStringLiteral("购票信息："))
        .html(r.ticketsHtml)
        // The ticket lines end in a break of their own.
        .html(separatorHtml(25))
        .remark(r.outTradeNo)
        .signature()
        .line(QStringLiteral("客服电话："), r.servicePhone);
    return w.finish();
}

QList<SoldTicket> ticketsSoldOf(const Order& sale) {
    QList<SoldTicket> sold;
    for (const SoldTicket& t : sale.tickets) {
        sold.append({display::shown(t.name), display::shown(t.price)});
    }
    return sold;
}

SaleReceipt saleReceiptOf(const Order& sale) {
    SaleReceipt r;
    r.shopName = sale.shopName;
    r.operatorName = display::shown(sale.operatorName);
    r.payDate = sale.payDate;
    r.orderNo = display::shown(sale.outTradeNo);
    r.payWay = sale.alipay() ? QStringLiteral("支付宝") : QStringLiteral("微信");
    r.moneyText = money::fenToYuan2(sale.fen.value_or(0));
    r.ticketsHtml = saleTicketsHtml(ticketsSoldOf(sale));
    r.outTradeNo = sale.outTradeNo;
    return r;
}

QString reprintTitle(bool refunded) {
    return refunded ? nbsp(15) + QStringLiteral("移动收银台(重打印)-退款")
                    : nbsp(19) + QStringLiteral("移动收银台(重打印)");
}

QString reprintReceiptHtml(const ReprintReceipt& r) {
    ReceiptWriter w(kCopyLook, reprintTitle(r.refunded));
    w.stub()
        .line(QStringLiteral("收款门店："), r.shopName)
        .line(QStringLiteral("操作员："), r.operatorName)
        .line(QStringLiteral("交易时间："), r.payDate)
        .line(QStringLiteral("系统单号："), r.outTradeNo)
        .line(QStringLiteral("支付方式："), r.payChannel)
        .emphasis(QStringLiteral("交易金额(RMB)：￥"), r.moneyText)
        .line(QStringLiteral("房间号："), r.cardNo)
        .emphasis(QStringLiteral("退款金额(RMB)：￥"), r.refundText)
        .rule()
        .remark(r.tradeNo)
        .signature()
        .line(QStringLiteral("客服电话："), r.servicePhone);
    return w.finish();
}

ReprintReceipt reprintReceiptOf(const Order& order, bool refunded) {
    ReprintReceipt r;
    r.refunded = refunded;
    r.shopName = order.shopName;
    r.payDate = order.payDate;
    r.outTradeNo = order.outTradeNo;
    r.payChannel = order.payChannel;
    r.moneyText = yuan2(order.fen);
    r.cardNo = order.cardNo;
    r.refundText = yuan2(order.refundFen);
    r.tradeNo = order.tradeNo;
    return r;
}

QString refundReceiptHtml(const RefundReceipt& r) {
    ReceiptWriter w(kCopyLook, reprintTitle(true));
    w.stub()
        .line(QStringLiteral("收款门店："), r.shopName)
        .line(QStringLiteral("操作员："), r.operatorName)
        .line(QStringLiteral("交易时间："), r.payDate)
        .line(QStringLiteral("系统单号："), r.outTradeNo)
        .line(QStringLiteral("支付方式："), r.payChannel)
        .emphasis(QStringLiteral("订单金额(RMB)：￥"), money::fenToYuan2(r.orderFen))
        .line(QStringLiteral("手牌号："), r.cardNo)
        .emphasis(QStringLiteral("退款金额(RMB)：￥"), money::fenToYuan2(r.refundFen))
        // The refund receipt has always had its rule on the amount's line.
        .html(QStringLiteral(" ") + separatorHtml(25))
        .remark(r.tradeNo)
        .signature()
        .line(QStringLiteral("客服电话："), r.servicePhone);
    return w.finish();
}

RefundReceipt refundReceiptOf(const Order& order, qint64 refundFen) {
    RefundReceipt r;
    r.shopName = order.shopName;
    r.payDate = order.payDate;
    r.outTradeNo = order.outTradeNo;
    r.payChannel = order.payChannel;
    r.orderFen = order.fen.value_or(0);  // a refund only passes against a known order amount
    r.cardNo = order.cardNo;
    r.refundFen = refundFen;
    r.tradeNo = order.tradeNo;
    return r;
}

}  // namespace receipts
