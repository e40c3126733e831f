#include "payments/chargecontroller.h"

#include "app/usersession.h"
#include "gateway/gatewayclock.h"
#include "gateway/requests.h"
#include "payments/journal.h"

#include <QDebug>
#include <QUuid>
#include <algorithm>

namespace {

// A range with more pages than this is not a few minutes of one store: the rest is left unread.
constexpr int kMaxPages = 100;

QList<ChargeController*>& controllers() {
    static QList<ChargeController*> all;
    return all;
}

QString noJournalText() {
    return QStringLiteral("收款记录文件不可用，暂时不能收款。请重新启动收银程序；仍不行请联系管理员。");
}

// The stores the signed-in account can list: the ones it was offered at sign-in, and the one chosen. Before the
// store list is known every store is taken as listable.
QSet<QString> listableStores(const UserSession& session) {
    QSet<QString> out;
    const QMap<int, Shop> shops = session.shopsByIndex();
    for (const Shop& shop : shops) {
        out.insert(shop.shopid);
    }
    out.insert(session.shopId());
    return out;
}

bool storeListable(const UserSession& session, const QString& shopId) {
    return session.shopsByIndex().isEmpty() || listableStores(session).contains(shopId);
}

}  // namespace

ChargeController::ChargeController(const PaymentContext& till, qint64 fen, QObject* parent)
    : QObject(parent),
      m_till(till),
      m_fen(fen),
      m_saleId(QUuid::createUuid().toString(QUuid::WithoutBraces)),
      m_timing(chargecheck::timingFromEnvironment()) {
    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, [this] { startListing(); });
    m_fetch = new gateway::ListingFetch(this);
    m_fetch->setMaxPages(kMaxPages);
    connect(m_fetch, &gateway::ListingFetch::pageRead, this, [this](int, int, const replies::ListingPage& page) {
        // A row that does not name its store is the listed store's: the listing asks for that store only.
        for (Order row : page.rows) {
            if (row.shopId.isEmpty()) {
                row.shopId = m_stores.at(m_storeAt).shopId;
            }
            m_rows.append(row);
        }
    });
    connect(m_fetch, &gateway::ListingFetch::finished, this, &ChargeController::storeListed);
    controllers().append(this);
}

ChargeController::~ChargeController() {
    controllers().removeAll(this);
}

void ChargeController::setTicketSale(const QString& selection, const QList<SoldTicket>& tickets) {
    m_ticketSale = true;
    m_ticketSelection = selection;
    m_tickets = tickets;
}

void ChargeController::resume(const journal::Attempt& attempt) {
    m_resumed = true;
    m_fen = attempt.fen;
    m_saleId = attempt.saleId;
    m_shopId = attempt.shopId;
    m_attemptId = attempt.id;
    m_sentAt = attempt.createdAt;
    m_maskedCode = attempt.maskedCode;
    m_ticketSale = attempt.kind == journal::Kind::TicketCharge;
    if (attempt.state == journal::State::Sending) {
        // The run that sent it ended before the answer: nobody knows.
        settle(journal::State::Unresolved, QString(), QStringLiteral("程序重新启动时仍在发送"));
    }
    if (!storeListable(*m_till.session, m_shopId)) {
        // This account's listing cannot show another account's store: a look-up would find nothing and say nothing.
        m_unlistableStore = m_shopId;
        setPhase(Phase::Unresolved);
        emit unresolved();
        return;
    }
    setPhase(Phase::Checking);
    startCheck();
}

bool ChargeController::moneyMayMove() const {
    return m_phase == Phase::LookingBack || m_phase == Phase::Sending || m_phase == Phase::Checking ||
           m_phase == Phase::Unresolved;
}

ChargeController* ChargeController::holding(qint64 attemptId) {
    for (ChargeController* c : qAsConst(controllers())) {
        if (attemptId && c->m_attemptId == attemptId) {
            return c;
        }
    }
    return nullptr;
}

ChargeController* ChargeController::busy() {
    for (ChargeController* c : qAsConst(controllers())) {
        if (c->moneyMayMove()) {
            return c;
        }
    }
    return nullptr;
}

bool ChargeController::mayStartCharge(const PaymentContext& till, QString* why) {
    if (busy()) {
        *why = QStringLiteral("上一笔收款的结果还未确认，请先完成上一笔收款。");
        return false;
    }
    journal::Journal* j = till.journal;
    if (!j) {
        *why = noJournalText();
        return false;
    }
    QString error;
    const std::optional<journal::Attempt> blocker = j->blockerFor(journal::Kind::Charge, QString(), &error);
    if (!error.isEmpty()) {
        *why = QStringLiteral("无法读取收款记录（%1），暂时不能收款。").arg(error);
        return false;
    }
    if (blocker) {
        *why = j->blockedText(*blocker);
        return false;
    }
    return true;
}

bool ChargeController::charge(const QString& code, QString* why) {
    if (m_phase != Phase::Ready) {
        *why = QStringLiteral("本次收款正在处理中，请勿重复扫码。");
        return false;
    }
    if (!mayStartCharge(m_till, why)) {
        return false;
    }
    // A charge of this amount the till tried a while ago (refused, or released by the cashier, in any window or copy
    // of the client) may have been paid all the same: look first. So may one of a journal that was lost, once for
    // each amount.
    const std::optional<QList<journal::Attempt>> earlier = earlierAnswered();
    QString error;
    const std::optional<QDateTime> lostSince = m_till.journal->lookBackSince(m_fen, &error);
    if (!earlier || !error.isEmpty()) {
        *why =
            QStringLiteral("无法读取收款记录%1，本次没有收款。").arg(error.isEmpty() ? QString() : "（" + error + "）");
        return false;
    }
    m_pendingCode = code;
    m_lookBack = *earlier;
    m_lostLookBack = earlier->isEmpty() && lostSince;
    if (!earlier->isEmpty() || lostSince) {
        // Each store is listed from the first attempt made in it.
        m_stores.clear();
        const QString here = m_till.session->shopId();
        if (m_lostLookBack) {
            m_stores.append({here, *lostSince});
        }
        for (const journal::Attempt& a : *earlier) {
            const auto known = std::find_if(m_stores.cbegin(), m_stores.cend(),
                                            [&a](const StoreRange& r) { return r.shopId == a.shopId; });
            if (known == m_stores.cend()) {
                m_stores.append({a.shopId, a.createdAt});
            }
        }
        setPhase(Phase::LookingBack);
        startListing();
        return true;
    }
    send();  // a journal that cannot take the attempt is reported through journalTrouble
    return true;
}

void ChargeController::send() {
    const QString code = m_pendingCode;
    m_pendingCode.clear();
    const UserSession& session = *m_till.session;
    journal::Attempt a;
    a.saleId = m_saleId;
    a.kind = m_ticketSale ? journal::Kind::TicketCharge : journal::Kind::Charge;
    a.fen = m_fen;
    a.shopId = session.shopId();
    a.cashierId = session.uid();
    a.maskedCode = journal::maskCode(code);
    a.createdAt = QDateTime::currentDateTime();
    QString error;
    journal::Journal* j = m_till.journal;
    journal::Attempt blocker;
    const std::optional<qint64> id = j ? j->begin(a, &error, &blocker) : std::nullopt;
    if (!id) {
        // Nothing goes out that the journal does not hold, nor while another charge is open anywhere.
        setPhase(Phase::Ready);
        emit journalTrouble(!j           ? noJournalText()
                            : blocker.id ? error + QStringLiteral("\n本次没有收款。")
                                         : QStringLiteral("无法写入收款记录（%1），本次没有收款。").arg(error));
        return;
    }
    m_attemptId = *id;
    m_sentAt = a.createdAt;
    m_shopId = a.shopId;
    m_maskedCode = a.maskedCode;
    const RequestBody body = m_ticketSale
                                 ? requests::ticketScanPay(m_ticketSelection, code, m_fen, a.cashierId, a.shopId)
                                 : requests::scanPay(code, m_fen, a.cashierId, a.shopId);
    setPhase(Phase::Sending);
    gateway::post(
        m_till.gatewayUrl(), this, body, [this](const gateway::Reply& r) { onChargeReply(r); },
        m_timing.chargeTimeoutMs);
}

void ChargeController::onChargeReply(const gateway::Reply& reply) {
    if (m_phase != Phase::Sending) {
        return;
    }
    const replies::ChargeResult result = replies::charge(reply);
    const journal::Settlement settled = journal::settlementOf(result.outcome, result.message);
    switch (result.outcome) {
        case replies::Outcome::Paid: {
            Order sale = result.sale;
            if (!sale.fen) {
                sale.fen = m_fen;  // the amount that was charged, when the reply's cannot be read
            }
            if (sale.tickets.isEmpty()) {
                sale.tickets = m_tickets;
            }
            settle(settled.state, sale.orderNo(), QString());
            setPhase(Phase::Paid);
            emit paid(sale);
            return;
        }
        case replies::Outcome::Refused:
            settle(settled.state, QString(), settled.note);
            setPhase(Phase::Ready);
            emit refused(result.message);
            return;
        case replies::Outcome::NotSent:
            settle(settled.state, QString(), settled.note);
            setPhase(Phase::Ready);
            emit notSent();
            return;
        case replies::Outcome::Unknown:
            settle(settled.state, QString(), settled.note);
            setPhase(Phase::Checking);
            startCheck();
            return;
    }
}

void ChargeController::settle(journal::State state, const QString& orderNo, const QString& note) {
    journal::Journal* j = m_till.journal;
    QString error;
    if (!j || !j->settle(m_attemptId, state, orderNo, note, &error)) {
        qWarning().noquote() << "journal: attempt" << m_attemptId << "not settled as" << journal::stateName(state)
                             << error;
        emit journalTrouble(j && j->hasUnwritten()
                                ? QStringLiteral("收款结果暂时未能写入收款记录（%1），程序会自动再次写入。").arg(error)
                                : QStringLiteral("收款结果未能写入收款记录（%1）。").arg(error));
    }
}

void ChargeController::startCheck() {
    m_waitingForCashier = false;
    m_elapsed.start();
    m_stores = {StoreRange{m_shopId.isEmpty() ? m_till.session->shopId() : m_shopId, m_sentAt}};
    startListing();
}

void ChargeController::startListing() {
    m_rows.clear();
    m_storeAt = 0;
    m_rangeFrom = m_stores.isEmpty() ? QDateTime::currentDateTime() : m_stores.first().from;
    for (const StoreRange& r : qAsConst(m_stores)) {
        m_rangeFrom = qMin(m_rangeFrom, r.from);
    }
    listNextStore();
}

void ChargeController::listNextStore() {
    const StoreRange& store = m_stores.at(m_storeAt);
    gateway::ListingFetch::Query query;
    query.token = m_till.session->token();
    query.url = m_till.gatewayUrl();
    // On the gateway's clock: it lists a sale at its own time, whatever this PC's clock says.
    query.startDate = chargecheck::rangeStart(gateway::onGatewayClock(store.from), m_timing.clockToleranceSecs);
    query.endDate =
        chargecheck::rangeEnd(gateway::onGatewayClock(QDateTime::currentDateTime()), m_timing.clockToleranceSecs);
    query.shopId = store.shopId;
    m_fetch->setTimeout(m_timing.listTimeoutMs);
    m_fetch->start(query);
}

void ChargeController::storeListed(const gateway::ListingFetch::Ending& ending) {
    // A listing cut at its page limit has not shown the whole range: as good as a failed one.
    if (!ending.ok || ending.truncated) {
        if (ending.truncated) {
            qWarning().noquote() << "charge check: listing of store" << m_stores.at(m_storeAt).shopId
                                 << "stopped at its page limit; taken as failed";
        }
        listingDone(false);
        return;
    }
    if (++m_storeAt < m_stores.size()) {
        listNextStore();
        return;
    }
    listingDone(true);
}

QList<chargecheck::Candidate> ChargeController::found(const QSet<QString>& excluded) const {
    const QDateTime now = gateway::onGatewayClock(QDateTime::currentDateTime());
    QList<chargecheck::Candidate> dated;
    QList<chargecheck::Candidate> undated;
    for (const StoreRange& store : m_stores) {
        QList<Order> rows;
        for (const Order& row : m_rows) {
            if (row.shopId == store.shopId) {
                rows.append(row);
            }
        }
        const chargecheck::Charge charge{m_fen, store.shopId, gateway::onGatewayClock(store.from)};
        for (const chargecheck::Candidate& c :
             chargecheck::candidates(charge, rows, now, m_timing.clockToleranceSecs, excluded)) {
            (c.undated() ? undated : dated).append(c);
        }
    }
    std::stable_sort(dated.begin(), dated.end(), [](const chargecheck::Candidate& a, const chargecheck::Candidate& b) {
        return a.row.paidAt > b.row.paidAt;
    });
    return dated + undated;
}

std::optional<QList<journal::Attempt>> ChargeController::earlierAnswered() const {
    // Refused or released attempts may have been carried out all the same; one that never left cannot have been.
    // This sale's own, whenever they were made, and the till's of the same amount in the last half hour. A journal
    // that cannot be read says nothing: the caller sends nothing.
    journal::Journal* j = m_till.journal;
    if (!j) {
        return std::nullopt;
    }
    QString error;
    const QList<journal::Attempt> own = j->ofSale(m_saleId, &error);
    const QDateTime now = QDateTime::currentDateTime();
    // Only what the rule can keep: this amount's refused and released charges and their sales' other attempts.
    const QList<journal::Attempt> recent =
        error.isEmpty() ? j->chargesOfAmount(m_fen, {journal::State::Refused, journal::State::Released},
                                             now.addSecs(-60 * journal::kLookBackMinutes - 1), now.addSecs(1), &error)
                        : QList<journal::Attempt>();
    if (!error.isEmpty()) {
        return std::nullopt;
    }
    QSet<QString> listable = listableStores(*m_till.session);
    if (m_till.session->shopsByIndex().isEmpty()) {
        for (const journal::Attempt& a : recent) {
            listable.insert(a.shopId);
        }
    }
    QList<journal::Attempt> out = journal::lookBackFor(recent, m_fen, now, listable);
    for (const journal::Attempt& a : own) {
        const bool listed =
            std::any_of(out.cbegin(), out.cend(), [&a](const journal::Attempt& o) { return o.id == a.id; });
        if (!listed && (a.state == journal::State::Refused || a.state == journal::State::Released)) {
            out.append(a);
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const journal::Attempt& x, const journal::Attempt& y) { return x.createdAt < y.createdAt; });
    return out;
}

std::optional<QSet<QString>> ChargeController::excludedOrders() const {
    // Sales this till completed are not this one: that customer would leave without paying. Without the journal's
    // word on them nothing is offered.
    journal::Journal* j = m_till.journal;
    if (!j) {
        return std::nullopt;
    }
    QSet<QString> out = m_declined;
    QString error;
    const QDateTime from = m_rangeFrom.addSecs(-m_timing.clockToleranceSecs - 3600);
    // Asked about the listed orders only: the rest of the till's hour cannot be offered anyway.
    QStringList listed;
    for (const Order& row : m_rows) {
        listed << row.orderNo();
    }
    out.unite(j->paidChargeOrders(listed, from, QDateTime::currentDateTime().addDays(1), &error));
    if (!error.isEmpty()) {
        return std::nullopt;
    }
    return out;
}

void ChargeController::lookBackDone() {
    if (!m_lostLookBack) {
        return;
    }
    QString error;
    if (!m_till.journal->lookedBack(m_fen, &error)) {
        qWarning().noquote() << "journal: look-back of" << m_fen << "fen not recorded:" << error;
    }
}

void ChargeController::listingDone(bool ok) {
    const std::optional<QSet<QString>> excluded = excludedOrders();
    if (m_phase == Phase::LookingBack) {
        if (!ok || !excluded) {
            m_pendingCode.clear();
            setPhase(Phase::Ready);
            emit lookBackFailed();
            return;
        }
        const QList<chargecheck::Candidate> candidates = found(*excluded);
        if (candidates.isEmpty()) {
            lookBackDone();
            send();
            return;
        }
        m_waitingForCashier = true;
        emit candidatesFound(candidates);
        return;
    }
    if (m_phase != Phase::Checking) {
        return;
    }
    if (ok && excluded) {
        const QList<chargecheck::Candidate> candidates = found(*excluded);
        if (!candidates.isEmpty()) {
            m_waitingForCashier = true;
            emit candidatesFound(candidates);
            return;
        }
    }
    // A failed listing says nothing about the charge: the next one is tried, until the end of the check.
    scheduleNext();
}

void ChargeController::scheduleNext() {
    const qint64 left = m_timing.durationMs - m_elapsed.elapsed();
    if (left <= 0) {
        setPhase(Phase::Unresolved);
        emit unresolved();
        return;
    }
    // The last listing falls on the end of the check, so a charge recorded just before it is still seen.
    m_next.start(static_cast<int>(qMin<qint64>(m_timing.intervalMs, left)));
}

void ChargeController::confirm(const chargecheck::Candidate& candidate, const Order& sale) {
    if (!m_waitingForCashier || (m_phase != Phase::Checking && m_phase != Phase::LookingBack)) {
        return;
    }
    m_waitingForCashier = false;
    if (m_phase == Phase::LookingBack && m_lostLookBack) {
        // A payment of the lost journal's: this sale is paid. It is written down as an attempt of its own, found paid.
        m_pendingCode.clear();
        lookBackDone();
        recordFound(candidate.row.orderNo());
        setPhase(Phase::Paid);
        emit paid(sale);
        return;
    }
    if (m_phase == Phase::LookingBack) {
        // The gateway took an earlier attempt after all: that one is the payment.
        m_pendingCode.clear();
        const std::optional<qint64> offset = gateway::gatewayClockOffsetMs();
        const QDateTime paidHere =
            candidate.row.paidAt.isValid() && offset ? candidate.row.paidAt.addMSecs(-*offset) : candidate.row.paidAt;
        m_attemptId =
            journal::lookBackMatch(m_lookBack, candidate.row.shopId,
                                   paidHere.isValid() ? paidHere.addSecs(m_timing.clockToleranceSecs) : QDateTime())
                .id;
    }
    settle(journal::State::Paid, candidate.row.orderNo(), QStringLiteral("收银员在交易列表中确认"));
    setPhase(Phase::Paid);
    emit paid(sale);
}

void ChargeController::decline(const QList<chargecheck::Candidate>& candidates) {
    // Only an answer about what was offered counts: in a look-back a decline sends the charge.
    if (!m_waitingForCashier || candidates.isEmpty()) {
        return;
    }
    m_waitingForCashier = false;
    for (const chargecheck::Candidate& c : candidates) {
        m_declined.insert(c.row.orderNo());
    }
    if (m_phase == Phase::LookingBack) {
        lookBackDone();
        send();
    } else if (m_phase == Phase::Checking) {
        scheduleNext();
    }
}

void ChargeController::stopCheck() {
    if (m_phase != Phase::Checking) {
        return;
    }
    m_fetch->cancel();
    m_next.stop();
    m_waitingForCashier = false;
    setPhase(Phase::Unresolved);
    emit unresolved();
}

void ChargeController::checkAgain() {
    if (m_phase != Phase::Unresolved) {
        return;
    }
    setPhase(Phase::Checking);
    startCheck();
}

bool ChargeController::release(QString* why) {
    if (m_phase != Phase::Unresolved) {
        *why = QStringLiteral("这笔收款不是未确认状态。");
        return false;
    }
    journal::Journal* j = m_till.journal;
    QString error;
    if (!j || !j->release(m_attemptId, m_till.session->uid(), &error)) {
        *why = j ? QStringLiteral("无法写入收款记录（%1）。").arg(error) : noJournalText();
        return false;
    }
    m_attemptId = 0;
    setPhase(Phase::Ready);
    return true;
}

bool ChargeController::recordFound(const QString& orderNo) {
    const UserSession& session = *m_till.session;
    journal::Attempt a;
    a.saleId = m_saleId;
    a.kind = m_ticketSale ? journal::Kind::TicketCharge : journal::Kind::Charge;
    a.fen = m_fen;
    a.shopId = session.shopId();
    a.cashierId = session.uid();
    a.createdAt = QDateTime::currentDateTime();
    QString error;
    const std::optional<qint64> id = m_till.journal->recordFound(
        a, orderNo, QStringLiteral("收银员在交易列表中确认（收款记录文件损坏前的收款）"), &error);
    if (!id) {
        // The customer has paid: the sale completes all the same, and the cashier knows the record is missing.
        qWarning().noquote() << "journal: payment" << orderNo << "found, not recorded:" << error;
        emit journalTrouble(QStringLiteral("这笔收款已确认，但未能写入收款记录（%1）。").arg(error));
        return true;
    }
    m_attemptId = *id;
    m_sentAt = a.createdAt;
    return true;
}

void ChargeController::setPhase(Phase phase) {
    if (m_phase == phase) {
        return;
    }
    m_phase = phase;
    emit phaseChanged(phase);
}
