#include "payments/chargecontroller.h"

#include "app/money.h"
#include "app/usersession.h"
#include "gateway/gatewayclock.h"
#include "gateway/requests.h"
#include "payments/journal.h"

#include <QDebug>
#include <QUuid>
#include <algorithm>

namespace {

// The gateway's other number for a paid order, besides the one it is known by (Order::orderNo()).
QString otherNumber(const Order& sale) {
    return sale.outTradeNo.isEmpty() ? QString() : sale.tradeNo;
}

// A range with more pages than this is not a few minutes of one store: the rest is left unread.
constexpr int kMaxPages = 100;

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
      m_open(till, OpenAttempt::Noun::Charge) {
    connect(&m_open, &OpenAttempt::checkStarted, this, &ChargeController::checkStarted);
    connect(&m_open, &OpenAttempt::lookUpDue, this, &ChargeController::startListing);
    connect(&m_open, &OpenAttempt::unresolved, this, &ChargeController::checkUnresolved);
    connect(&m_open, &OpenAttempt::journalTrouble, this, &ChargeController::journalTrouble);
    m_fetch = new gateway::ListingFetch(m_till.gateway, this);
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
    if (m_till.charges) {
        m_till.charges->add(this);
    }
}

ChargeController::~ChargeController() {
    if (m_till.charges) {
        m_till.charges->remove(this);
    }
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
    m_open.setId(attempt.id);
    m_sentAt = attempt.createdAt;
    m_maskedCode = attempt.maskedCode;
    m_ticketSale = attempt.kind == journal::Kind::TicketCharge;
    if (attempt.state == journal::State::Sending) {
        // The run that sent it ended before the answer: nobody knows.
        m_open.settle(journal::State::Unresolved, QString(), QStringLiteral("程序重新启动时仍在发送"));
    }
    if (!storeListable(*m_till.session, m_shopId)) {
        // This account's listing cannot show another account's store: a look-up would find nothing and say nothing.
        m_unlistableStore = m_shopId;
        m_open.giveUp();
        return;
    }
    m_open.startCheck();
}

bool ChargeController::moneyMayMove() const {
    return m_phase == Phase::LookingBack || m_phase == Phase::Sending || m_phase == Phase::Checking ||
           m_phase == Phase::Unresolved;
}

ChargeController* ChargeRegistry::holding(qint64 attemptId) const {
    for (ChargeController* c : m_live) {
        if (attemptId && c->attemptId() == attemptId) {
            return c;
        }
    }
    return nullptr;
}

ChargeController* ChargeRegistry::busy() const {
    for (ChargeController* c : m_live) {
        if (c->moneyMayMove()) {
            return c;
        }
    }
    return nullptr;
}

bool ChargeController::mayStartCharge(const PaymentContext& till, QString* why) {
    if (till.charges && till.charges->busy()) {
        *why = QStringLiteral("上一笔收款的结果还未确认，请先完成上一笔收款。");
        return false;
    }
    journal::Journal* j = till.journal;
    if (!j) {
        *why = OpenAttempt::noJournalText(OpenAttempt::Noun::Charge);
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
    m_lostLookBack = earlier->isEmpty() && lostSince;
    if (!earlier->isEmpty() || lostSince) {
        // Each earlier attempt is looked for around its own time only.
        m_looks.clear();
        for (const journal::Attempt& a : *earlier) {
            m_looks.append(Look{a, chargecheck::paymentWindow(a.createdAt, timing())});
        }
        if (m_lostLookBack) {
            // The lost file's last write, on the PC's clock of the time: its attempt went out before it, its payment
            // came within a wallet's time of that attempt.
            journal::Attempt lost;
            lost.shopId = m_till.session->shopId();
            lost.createdAt = lostSince->addMSecs(m_till.gateway.clock().offsetMs().value_or(0));
            const int wallet = timing().walletSecs + timing().clockToleranceSecs;
            m_looks.append(Look{lost, {lost.createdAt.addSecs(-wallet), lost.createdAt.addSecs(wallet)}});
        }
        setPhase(Phase::LookingBack);
        startListing();
        return true;
    }
    send();  // a journal that cannot take the attempt is reported through journalTrouble
    return true;
}

journal::Attempt ChargeController::newAttempt() const {
    journal::Attempt a;
    a.saleId = m_saleId;
    a.kind = m_ticketSale ? journal::Kind::TicketCharge : journal::Kind::Charge;
    a.fen = m_fen;
    a.shopId = m_till.session->shopId();
    a.cashierId = m_till.session->uid();
    a.createdAt = m_till.now();
    return a;
}

void ChargeController::send() {
    const QString code = m_pendingCode;
    m_pendingCode.clear();
    journal::Attempt a = newAttempt();
    a.maskedCode = journal::maskCode(code);
    QString why;
    if (!m_open.begin(a, &why)) {
        // Nothing goes out that the journal does not hold, nor while another charge is open anywhere.
        setPhase(Phase::Ready);
        emit journalTrouble(why);
        return;
    }
    m_sentAt = a.createdAt;
    m_shopId = a.shopId;
    m_maskedCode = a.maskedCode;
    const RequestBody body = m_ticketSale
                                 ? requests::ticketScanPay(m_ticketSelection, code, m_fen, a.cashierId, a.shopId)
                                 : requests::scanPay(code, m_fen, a.cashierId, a.shopId);
    setPhase(Phase::Sending);
    m_till.gateway.post(
        this, body, [this](const gateway::Reply& r) { onChargeReply(r); }, timing().chargeTimeoutMs);
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
            m_open.settle(settled.state, sale.orderNo(), QString(), otherNumber(sale));
            setPhase(Phase::Paid);
            emit paid(sale);
            return;
        }
        case replies::Outcome::Refused:
            m_open.settle(settled.state, QString(), settled.note);
            setPhase(Phase::Ready);
            emit refused(result.message);
            return;
        case replies::Outcome::NotSent:
            m_open.settle(settled.state, QString(), settled.note);
            setPhase(Phase::Ready);
            emit notSent();
            return;
        case replies::Outcome::Unknown:
            m_open.settle(settled.state, QString(), settled.note);
            m_open.startCheck();
            return;
    }
}

void ChargeController::checkStarted() {
    m_waitingForCashier = false;
    journal::Attempt own;
    own.id = m_open.id();
    own.shopId = m_shopId.isEmpty() ? m_till.session->shopId() : m_shopId;
    own.createdAt = m_sentAt;
    own.maskedCode = m_maskedCode;
    m_looks = {Look{own, chargecheck::paymentWindow(m_sentAt, timing())}};
    setPhase(Phase::Checking);
}

void ChargeController::checkUnresolved() {
    m_fetch->cancel();
    m_waitingForCashier = false;
    setPhase(Phase::Unresolved);
    emit unresolved();
}

void ChargeController::startListing() {
    // One listing per store, over the windows of the attempts looked for in it.
    m_stores.clear();
    for (const Look& look : qAsConst(m_looks)) {
        auto known = std::find_if(m_stores.begin(), m_stores.end(),
                                  [&look](const StoreRange& r) { return r.shopId == look.attempt.shopId; });
        if (known == m_stores.end()) {
            m_stores.append({look.attempt.shopId, look.window.from, look.window.to});
        } else {
            known->from = qMin(known->from, look.window.from);
            known->to = qMax(known->to, look.window.to);
        }
    }
    m_rows.clear();
    m_storeAt = 0;
    listNextStore();
}

void ChargeController::listNextStore() {
    const StoreRange& store = m_stores.at(m_storeAt);
    gateway::ListingFetch::Query query;
    query.token = m_till.session->token();
    // On the gateway's clock and wall clock: it lists a sale at its own time, whatever this PC's clock or zone says.
    query.startDate = chargecheck::rangeText(store.from, m_till.zone());
    query.endDate = chargecheck::rangeText(store.to.addSecs(timing().clockToleranceSecs), m_till.zone());
    query.shopId = store.shopId;
    m_fetch->setTimeout(timing().listTimeoutMs);
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
    // Each attempt's window over its store's rows; a row that several windows hold is offered once, as the payment of
    // the latest attempt made before it was paid.
    QList<chargecheck::Candidate> out;
    for (const Look& look : m_looks) {
        QList<Order> rows;
        for (const Order& row : m_rows) {
            if (row.shopId == look.attempt.shopId) {
                rows.append(row);
            }
        }
        QSet<QString> notThis = excluded;
        if (look.attempt.id && m_till.journal) {
            notThis.unite(m_till.journal->declinedFor(look.attempt.id));
        }
        const chargecheck::Charge charge{m_fen, look.attempt.shopId, look.attempt.createdAt};
        for (chargecheck::Candidate c : chargecheck::candidates(charge, rows, look.window, notThis)) {
            int at = -1;
            for (int i = 0; i < out.size() && at < 0; ++i) {
                if (out.at(i).row.orderNo() == c.row.orderNo() && out.at(i).row.shopId == c.row.shopId) {
                    at = i;
                }
            }
            const bool isNew = at < 0;
            if (isNew) {
                out.append(c);
                at = out.size() - 1;
            }
            chargecheck::Candidate& kept = out[at];
            const bool madeBefore =
                c.undated() || look.attempt.createdAt <= c.row.paidAt.addSecs(timing().clockToleranceSecs);
            if (isNew || madeBefore) {
                kept.attemptId = look.attempt.id;
                kept.attemptAt = look.attempt.createdAt;
                kept.attemptCode = look.attempt.maskedCode;
            }
            if (look.attempt.id) {
                kept.attemptIds.append(look.attempt.id);
            }
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const chargecheck::Candidate& a, const chargecheck::Candidate& b) {
        if (a.undated() != b.undated()) {
            return b.undated();
        }
        return a.row.paidAt > b.row.paidAt;
    });
    return out;
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
    const QDateTime now = m_till.now();
    const QList<journal::Attempt> recent =
        error.isEmpty()
            ? j->answeredCharges(m_fen, now.addSecs(-60 * journal::kLookBackMinutes - 1), now.addSecs(1), &error)
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
    // word on them nothing is offered. Only this amount, around the windows looked at.
    journal::Journal* j = m_till.journal;
    if (!j || m_stores.isEmpty()) {
        return std::nullopt;
    }
    QDateTime from = m_stores.first().from;
    QDateTime to = m_stores.first().to;
    for (const StoreRange& r : m_stores) {
        from = qMin(from, r.from);
        to = qMax(to, r.to);
    }
    QString error;
    const int margin = timing().walletSecs + timing().clockToleranceSecs;
    QSet<QString> out = j->paidChargeNumbers(m_fen, from.addSecs(-margin), to.addSecs(margin), &error);
    if (!error.isEmpty()) {
        return std::nullopt;
    }
    return out.unite(m_declined);
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
    m_open.nothingFound();
}

void ChargeController::confirm(const chargecheck::Candidate& candidate) {
    if (!m_waitingForCashier || (m_phase != Phase::Checking && m_phase != Phase::LookingBack)) {
        return;
    }
    m_waitingForCashier = false;
    const Order sale =
        chargecheck::tradeContent(candidate, m_till.session->rname(), m_till.session->shopName(), m_tickets);
    if (m_phase == Phase::LookingBack && m_lostLookBack) {
        // A payment of the lost journal's: this sale is paid. It is written down as an attempt of its own, found paid.
        m_pendingCode.clear();
        lookBackDone();
        recordFound(candidate.row.orderNo());
        setPhase(Phase::Paid);
        emit paid(sale);
        return;
    }
    QString note = QStringLiteral("收银员在交易列表中确认");
    if (m_phase == Phase::LookingBack) {
        // The gateway took an earlier attempt after all: that one is the payment, and this sale is completed with it.
        // Both are one write: the earlier attempt paid, with the sale it completed named in its note.
        m_pendingCode.clear();
        m_open.setId(candidate.attemptId);
        note = QStringLiteral("收银员在后一笔收款（%1元，销售 %2）核对时确认").arg(money::fenToYuan2(m_fen), m_saleId);
    }
    m_open.settle(journal::State::Paid, candidate.row.orderNo(), note, otherNumber(candidate.row));
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
        // Kept against the attempts it was offered for: no window, sale or copy of the client asks about it again.
        QStringList numbers;
        for (const QString& n : {c.row.outTradeNo, c.row.tradeNo}) {
            if (!n.isEmpty()) {
                numbers << n;
                m_declined.insert(n);
            }
        }
        QList<qint64> ids = c.attemptIds;
        if (ids.isEmpty() && m_open.id()) {
            ids << m_open.id();
        }
        QString error;
        if (!ids.isEmpty() && m_till.journal && !m_till.journal->decline(ids, numbers, &error)) {
            qWarning().noquote() << "journal: 不是 for" << numbers << "not recorded:" << error;
        }
    }
    if (m_phase == Phase::LookingBack) {
        lookBackDone();
        send();
    } else if (m_phase == Phase::Checking) {
        m_open.nothingFound();
    }
}

bool ChargeController::release(QString* why) {
    if (!m_open.release(why)) {
        return false;
    }
    setPhase(Phase::Ready);
    return true;
}

bool ChargeController::recordFound(const QString& orderNo) {
    const journal::Attempt a = newAttempt();
    QString error;
    const std::optional<qint64> id = m_till.journal->recordFound(
        a, orderNo, QStringLiteral("收银员在交易列表中确认（收款记录文件损坏前的收款）"), &error);
    if (!id) {
        // The customer has paid: the sale completes all the same, and the cashier knows the record is missing.
        qWarning().noquote() << "journal: payment" << orderNo << "found, not recorded:" << error;
        emit journalTrouble(QStringLiteral("这笔收款已确认，但未能写入收款记录（%1）。").arg(error));
        return true;
    }
    m_open.setId(*id);
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
