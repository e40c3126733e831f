#include "payments/reconcile.h"

#include <QtTest>

using journal::Attempt;
using journal::Kind;
using journal::State;
using reconcile::Problem;

Q_DECLARE_METATYPE(QList<Attempt>)
Q_DECLARE_METATYPE(QList<Order>)
Q_DECLARE_METATYPE(QList<Problem>)

namespace {

Attempt attempt(Kind kind, State state, qint64 fen, const QString& orderNo) {
    Attempt a;
    a.kind = kind;
    a.state = state;
    a.fen = fen;
    a.orderNo = orderNo;
    a.createdAt = QDateTime(QDate(2026, 3, 2), QTime(10, 0));
    return a;
}
Attempt paid(qint64 fen, const QString& orderNo) {
    return attempt(Kind::Charge, State::Paid, fen, orderNo);
}
Attempt refunded(qint64 fen, const QString& orderNo) {
    return attempt(Kind::Refund, State::Paid, fen, orderNo);
}
Order listed(const QString& outTradeNo, std::optional<qint64> fen, std::optional<qint64> refundFen = 0) {
    Order o;
    o.outTradeNo = outTradeNo;
    o.tradeNo = QStringLiteral("GW") + outTradeNo;
    o.fen = fen;
    o.refundFen = refundFen;
    return o;
}

}  // namespace

class TestReconcile : public QObject {
    Q_OBJECT

private slots:
    void check_data() {
        QTest::addColumn<QList<Attempt>>("journal");
        QTest::addColumn<QList<Order>>("gateway");
        QTest::addColumn<QList<Problem>>("problems");
        QTest::addColumn<QString>("line");

        QTest::newRow("agree") << QList<Attempt>{paid(1250, "A1"), paid(3000, "A2")}
                               << QList<Order>{listed("A1", 1250), listed("A2", 3000)} << QList<Problem>{}
                               << QStringLiteral("本机 2 笔 ￥42.50 与网关一致");
        QTest::newRow("known by the gateway's own number")
            << QList<Attempt>{paid(500, "GWA1")} << QList<Order>{listed("A1", 500)} << QList<Problem>{}
            << QStringLiteral("本机 1 笔 ￥5.00 与网关一致");
        QTest::newRow("missing at the gateway")
            << QList<Attempt>{paid(1250, "A1"), paid(3000, "A2")} << QList<Order>{listed("A1", 1250)}
            << QList<Problem>{Problem::MissingAtGateway} << QStringLiteral("本机 2 笔 ￥42.50，1 笔不一致");
        QTest::newRow("different amount")
            << QList<Attempt>{paid(1250, "A1")} << QList<Order>{listed("A1", 1205)}
            << QList<Problem>{Problem::DifferentAmount} << QStringLiteral("本机 1 笔 ￥12.50，1 笔不一致");
        QTest::newRow("gateway amount unreadable")
            << QList<Attempt>{paid(1250, "A1")} << QList<Order>{listed("A1", std::nullopt)}
            << QList<Problem>{Problem::DifferentAmount} << QString();
        QTest::newRow("refund not shown")
            << QList<Attempt>{paid(1250, "A1"), refunded(500, "A1")} << QList<Order>{listed("A1", 1250, 0)}
            << QList<Problem>{Problem::RefundNotShown} << QString();
        QTest::newRow("two refunds, the gateway shows one")
            << QList<Attempt>{refunded(300, "A1"), refunded(200, "A1")} << QList<Order>{listed("A1", 1250, 300)}
            << QList<Problem>{Problem::RefundNotShown} << QStringLiteral("本机 0 笔 ￥0.00，1 笔不一致");
        QTest::newRow("refund shown, another till refunded more")
            << QList<Attempt>{refunded(300, "A1")} << QList<Order>{listed("A1", 1250, 800)} << QList<Problem>{}
            << QStringLiteral("本机 0 笔 ￥0.00 与网关一致");
        QTest::newRow("refund of an order the gateway does not list")
            << QList<Attempt>{refunded(300, "A9")} << QList<Order>{} << QList<Problem>{Problem::MissingAtGateway}
            << QString();
        QTest::newRow("unresolved charge and refund")
            << QList<Attempt>{attempt(Kind::Charge, State::Unresolved, 1250, QString()),
                              attempt(Kind::Refund, State::Sending, 100, "A1"), paid(700, "A2")}
            << QList<Order>{listed("A2", 700)} << QList<Problem>{Problem::Unresolved, Problem::Unresolved}
            << QStringLiteral("本机 1 笔 ￥7.00，2 笔不一致");
        QTest::newRow("refused, not sent and released move no money")
            << QList<Attempt>{attempt(Kind::Charge, State::Refused, 1250, QString()),
                              attempt(Kind::Charge, State::NotSent, 1250, QString()),
                              attempt(Kind::TicketCharge, State::Released, 1250, QString())}
            << QList<Order>{} << QList<Problem>{} << QStringLiteral("本机 0 笔 ￥0.00 与网关一致");
        QTest::newRow("another till's sale ignored")
            << QList<Attempt>{paid(1250, "A1")} << QList<Order>{listed("A1", 1250), listed("B7", 9900)}
            << QList<Problem>{} << QStringLiteral("本机 1 笔 ￥12.50 与网关一致");
        QTest::newRow("paid without an order number")
            << QList<Attempt>{attempt(Kind::TicketCharge, State::Paid, 4000, QString())} << QList<Order>{}
            << QList<Problem>{Problem::NoOrderNumber} << QString();
    }
    void check() {
        QFETCH(QList<Attempt>, journal);
        QFETCH(QList<Order>, gateway);
        QFETCH(QList<Problem>, problems);
        QFETCH(QString, line);

        QHash<QString, Order> byNumber;
        for (const Order& o : gateway) {
            reconcile::addListed(&byNumber, o);
        }
        const reconcile::Result r = reconcile::check(journal, byNumber);
        QList<Problem> got;
        for (const reconcile::Finding& f : r.findings) {
            got.append(f.problem);
        }
        QCOMPARE(got, problems);
        QCOMPARE(r.agrees(), problems.isEmpty());
        if (!line.isEmpty()) {
            QCOMPARE(reconcile::summaryLine(r), line);
        }
    }

    // The 明细 columns say what is here and what the gateway has, and a refund's own column is its order's total.
    void detailCells_data() {
        QTest::addColumn<QList<Attempt>>("journal");
        QTest::addColumn<QList<Order>>("gateway");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("missing") << QList<Attempt>{paid(1250, "A1")} << QList<Order>{}
                                 << QStringList{"收款", "A1", "12.50", "无",
                                                reconcile::problemText(Problem::MissingAtGateway)};
        QTest::newRow("amount") << QList<Attempt>{paid(1250, "A1")} << QList<Order>{listed("A1", 1200)}
                                << QStringList{"收款", "A1", "12.50", "12.00",
                                               reconcile::problemText(Problem::DifferentAmount)};
        QTest::newRow("refunds summed") << QList<Attempt>{refunded(300, "A1"), refunded(200, "A1")}
                                        << QList<Order>{listed("A1", 1250, 300)}
                                        << QStringList{"退款", "A1", "5.00", "3.00",
                                                       reconcile::problemText(Problem::RefundNotShown)};
    }
    void detailCells() {
        QFETCH(QList<Attempt>, journal);
        QFETCH(QList<Order>, gateway);
        QFETCH(QStringList, cells);
        QHash<QString, Order> byNumber;
        for (const Order& o : gateway) {
            reconcile::addListed(&byNumber, o);
        }
        const reconcile::Result r = reconcile::check(journal, byNumber);
        QCOMPARE(r.findings.size(), 1);
        QCOMPARE(reconcile::detailCells(r.findings.first()), cells);
    }

    // Refunds of orders paid before the period are looked up on their own; the period's listing covers the rest.
    void refundOrdersMissing() {
        const QList<Attempt> journal{paid(100, "A1"), refunded(50, "A1"), refunded(70, "OLD"),
                                     attempt(Kind::Refund, State::Refused, 10, "X")};
        QHash<QString, Order> byNumber;
        reconcile::addListed(&byNumber, listed("A1", 100));
        QCOMPARE(reconcile::refundOrdersMissing(journal, byNumber), QSet<QString>{"OLD"});
        QCOMPARE(reconcile::wantedOrders(journal), (QSet<QString>{"A1", "OLD"}));
    }
};

QTEST_GUILESS_MAIN(TestReconcile)
#include "tst_reconcile.moc"
