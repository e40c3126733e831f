#include "core/chargeservice.h"

#include "app/money.h"
#include "core/receiptservice.h"
#include "core/refundservice.h"
#include "core/tilltime.h"
#include "payments/journal.h"

#include <QDebug>

ChargeController* ChargeService::controller(qint64 fen, QObject* parent) {
    auto* c = new ChargeController(m_till(), fen, parent);
    // What was paid is printed by the till, not because a window was shown.
    connect(c, &ChargeController::paid, this,
            [this, c](const Order& sale) { emit salePaid(c, sale, printPaid(sale)); });
    return c;
}

std::optional<receipts::PrintResult> ChargeService::printPaid(const Order& sale) {
    ReceiptService& receipts = m_receipts;
    if (!receipts.printsSales()) {
        return std::nullopt;
    }
    return receipts.printSale(receipts::saleReceiptOf(sale));
}

bool ChargeService::mayStart(QString* why) {
    return ChargeController::mayStartCharge(m_till(), why);
}

QList<journal::Attempt> ChargeService::takeOverOpen(QString* elsewhere) {
    QList<journal::Attempt> taken;
    journal::Journal* j = m_till().journal;
    if (!j) {
        return taken;  // the charge itself says why nothing can be sent
    }
    QString error;
    const QList<journal::Attempt> open = j->open(QString(), &error);
    if (!error.isEmpty()) {
        return taken;  // the charge itself says why nothing can be sent
    }
    for (const journal::Attempt& a : open) {
        if (!journal::isCharge(a.kind) || holding(a.id)) {
            continue;
        }
        if (j->heldElsewhere(a)) {
            *elsewhere = j->blockedText(a);
            continue;
        }
        QString why;
        if (!j->takeOver(a.id, &why)) {
            // Settled or taken by another copy meanwhile: the charge itself is refused if one is still open.
            qWarning().noquote() << "open charge" << a.id << "not taken over:" << why;
            continue;
        }
        taken.append(a);
    }
    return taken;
}

QString ChargeService::moneyMoving() {
    QString what;
    if (const ChargeController* c = current()) {
        what = QStringLiteral("一笔 %1元 的收款正在处理中").arg(money::fenToYuan2(c->fen()));
        if (c->sentAt().isValid()) {
            what += QStringLiteral("（扫码时间 %1，付款码 %2）")
                        .arg(tilltime::text(m_till().gateway.clock(), c->sentAt()),
                             c->maskedCode().isEmpty() ? QStringLiteral("—") : c->maskedCode());
        }
    } else if (const RefundGuard* r = m_refunds.busyGuard()) {
        what = QStringLiteral("一笔 %1元 的退款正在处理中").arg(money::fenToYuan2(r->openFen()));
    } else if (journal::Journal* j = m_till().journal; j && j->hasUnwritten()) {
        what = QStringLiteral("有收款或退款的结果还没有写入收款记录文件");
    }
    if (what.isEmpty()) {
        return QString();
    }
    return what +
           QStringLiteral("。现在退出，结果要到下次登录后才能核对，客户可能已经付款或收到退款。\n确定要退出吗？");
}

QString ChargeService::paidUnshownNotice() {
    journal::Journal* j = m_till().journal;
    if (!j) {
        return QString();
    }
    const std::optional<journal::Attempt> paid = j->paidUnshown();
    if (!paid || paid->state != journal::State::Paid || j->heldElsewhere(*paid) || holding(paid->id)) {
        return QString();
    }
    j->resultShown(paid->id);  // told once
    return QStringLiteral(
               "上次程序关闭前，一笔收款已经成功，但没来得及显示结果：\n\n金额：%1元\n订单号：%2\n扫码时间：%3\n\n"
               "这笔不需要再收款；需要小票请在“交易查询”中重打印。")
        .arg(money::fenToYuan2(paid->fen), paid->orderNo.isEmpty() ? QStringLiteral("—") : paid->orderNo,
             tilltime::text(m_till().gateway.clock(), paid->createdAt));
}

reconcile::HandoverCheck* ChargeService::handoverCheck(QObject* parent) {
    return new reconcile::HandoverCheck(m_till(), parent);
}
