#include "core/totalsservice.h"

#include "app/money.h"
#include "app/usersession.h"
#include "core/gatewayask.h"
#include "gateway/requests.h"
#include "payments/chargecontroller.h"
#include "payments/journal.h"

#include <algorithm>

void TotalsService::printTime(QObject* receiver, Finished<replies::Read<replies::PrintTime>> done) {
    const PaymentContext till = m_till();
    ask(till.gateway, receiver, requests::printTime(till.session->token()), &replies::printTime, std::move(done));
}

void TotalsService::totals(QObject* receiver, qint64 from, qint64 to, Finished<replies::Read<replies::Totals>> done) {
    const PaymentContext till = m_till();
    ask(till.gateway, receiver, requests::listSumTicket(till.session->token(), from, to), &replies::totals,
        std::move(done));
}

void TotalsService::logPrint(QObject* receiver, qint64 from, qint64 to, Finished<replies::Status> done) {
    const PaymentContext till = m_till();
    ask(till.gateway, receiver, requests::logPrint(till.session->token(), from, to), &replies::printLogged,
        std::move(done));
}

QString TotalsService::openMoney() {
    QList<journal::Attempt> open;
    const PaymentContext till = m_till();
    const QTimeZone zone = till.zone();
    if (journal::Journal* j = till.journal) {
        open = j->open(QString());
        open.erase(
            std::remove_if(open.begin(), open.end(), [j](const journal::Attempt& a) { return j->heldElsewhere(a); }),
            open.end());
    }
    QString text = journal::handoverBlockedText(open, zone);
    if (journal::Journal* j = till.journal; text.isEmpty() && j && j->hasUnwritten()) {
        // Known here but not in the file: the next start would read them as still sending and ask about them.
        text = journal::unwrittenBlockedText(j->unwritten(), zone);
    }
    const ChargeController* busy = till.charges->busy();
    if (text.isEmpty() && busy) {
        // Not in the journal yet: an earlier payment of the amount is being looked for before it is sent.
        text = QStringLiteral("一笔 %1元 的收款正在处理中，交接班前请先在收款窗口中完成。")
                   .arg(money::fenToYuan2(busy->fen()));
    }
    return text;
}
