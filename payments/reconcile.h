#pragma once

#include "app/records.h"
#include "gateway/listingfetch.h"
#include "payments/journalrules.h"
#include "payments/paymentcontext.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

// The shift handover's check of this till's own record against the gateway: every charge the journal holds as paid
// must be listed with the same amount and order number, every refund it holds as done must show in its order's
// refunded amount, and attempts nobody could resolve are named. Sales of other tills of the store are not looked
// at: the gateway cannot tell tills apart, so only the journal's own orders are checked.
namespace reconcile {

enum class Problem {
    MissingAtGateway,  // the gateway does not list the order
    DifferentAmount,   // listed with another amount
    RefundNotShown,    // the order's refunded amount is less than this till refunded
    Unresolved,        // the journal does not know whether money moved
    NoOrderNumber,     // paid, but the journal holds no order number to look for
};

struct Finding {
    Problem problem = Problem::MissingAtGateway;
    journal::Kind kind = journal::Kind::Charge;
    QString orderNo;
    qint64 fenHere = 0;                  // the charge, or what this till refunded of the order
    std::optional<qint64> fenAtGateway;  // the listed amount (refunded amount for a refund); nullopt: not listed
    QDateTime at;                        // when the attempt was made
};

struct Result {
    int charges = 0;  // paid charges of the period in the journal
    qint64 chargeFen = 0;
    int refunds = 0;  // refunds done
    qint64 refundFen = 0;
    QList<Finding> findings;

    bool agrees() const { return findings.isEmpty(); }
};

// The order numbers the check needs listed: paid charges' and done refunds' orders.
QSet<QString> wantedOrders(const QList<journal::Attempt>& attempts);
// The orders of done refunds that `listed` lacks: paid before the period, they are looked up on their own.
QSet<QString> refundOrdersMissing(const QList<journal::Attempt>& attempts, const QHash<QString, Order>& listed);
// Keys a listed order by both its numbers, as the journal may hold either.
void addListed(QHash<QString, Order>* listed, const Order& order);

// The rule. `listed` holds the gateway's orders by number (addListed).
Result check(const QList<journal::Attempt>& attempts, const QHash<QString, Order>& listed);

// "本机 3 笔 ￥42.50 与网关一致", or with the number that disagree.
QString summaryLine(const Result& result);
// What is wrong with one finding, as the cashier reads it.
QString problemText(Problem problem);
// The columns of the 明细 list for one finding: 类型, 单号, 本机金额, 网关金额, 问题.
QStringList detailCells(const Finding& finding);
// The line when the check could not be made.
QString failedLine(const QString& why);

// Runs the check for one period of one store: reads the journal, lists every page of the period (widened by the
// clock tolerance: rows outside the period are only ever ignored), then looks up the orders of refunds that were
// paid before the period. Ends with exactly one of `done` or `failed`; start() again gives the earlier run up.
class HandoverCheck : public QObject {
    Q_OBJECT

public:
    explicit HandoverCheck(const PaymentContext& till, QObject* parent = nullptr);

    void setTimeout(int ms);
    void start(const QDateTime& from, const QDateTime& to, const QString& shopId, const QString& token);
    bool running() const { return m_fetch->running(); }

    // How far the gateway's clock may be from ours.
    static constexpr int kToleranceSecs = 300;

signals:
    void done(const reconcile::Result& result);
    void failed(const QString& why);

private:
    void onPage(const replies::ListingPage& page);
    void onFinished(const gateway::ListingFetch::Ending& ending);

    PaymentContext m_till;
    gateway::ListingFetch* m_fetch = nullptr;
    QList<journal::Attempt> m_attempts;
    QSet<QString> m_wanted;
    QHash<QString, Order> m_listed;
    QList<QString> m_refundsToLookUp;
    QString m_shopId;
    QString m_token;
    bool m_inRange = false;  // reading the period; afterwards the refunds' orders
};

}  // namespace reconcile

Q_DECLARE_METATYPE(reconcile::Result)
