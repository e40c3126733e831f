// The main window hands the refund dialog to its transaction page: a row's 退款 runs the dialog for that row's
// transaction, and the page asks for its rows again when the dialog closes.
#include "app/comconfig.h"
#include "app/usersession.h"
#include "receipts/printhtmlreceipt.h"
#include "refunds/refundsuredialog.h"
#include "shell/mainwindow.h"
#include "core/receiptservice.h"
#include "testsupport.h"
#include "transactions/formjiaoyicx.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>

using namespace testsupport;

namespace {

QJsonObject row(const char* out, const char* trade, const char* money, const char* refunded) {
    return QJsonObject{{"out_trade_no", out},
                       {"trade_no", trade},
                       {"money", money},
                       {"refundfee", refunded},
                       {"pay_channel", QStringLiteral("支付宝")},
                       {"finalinfo", QStringLiteral("支付成功")},
                       {"pay_date", "2026-12-07 10:00:00"},
                       {"shopname", QStringLiteral("西湖店")},
                       {"cardno", ""}};
}

QByteArray listReply(const char* refunded) {
    const QJsonObject content{{"code", 1},
                              {"listpay", QJsonArray{row("OUT1", "GW1", "1250", refunded)}},
                              {"total_count", "1"},
                              {"total_fee", "1250"},
                              {"total_rfee", refunded},
                              {"total_page", 1},
                              {"p", "1"}};
    return QJsonDocument(QJsonObject{{"code", 1}, {"content", content}}).toJson(QJsonDocument::Compact);
}

}  // namespace

class TestShellRefund : public QObject {
    Q_OBJECT

private slots:
    void refundFromTheListRunsTheDialogThenRequeries();
};

void TestShellRefund::refundFromTheListRunsTheDialogThenRequeries() {
    GatewayFixture f;
    IdleSerialLine serial;
    till().session().setLoginInfo(
        LoginInfo{QStringLiteral("TOKEN1"), QStringLiteral("1"), QString(), QStringLiteral("张三"), QString()});
    till().session().setCurrentShop(Shop{QStringLiteral("1"), QString(), QString()});
    till().record().refundEnabled = 1;
    bool refunded = false;
    f.stub.setHandler([&refunded](const QByteArray& body) {
        const QString action = formValue(body, QStringLiteral("action"));
        if (action == QLatin1String("Account.Pay.refund")) {
            refunded = true;
            return StubGateway::Response{200, R"({"code":1,"msg":"退款成功","content":{"code":1}})", 0};
        }
        return StubGateway::Response{200, listReply(refunded ? "500" : "0"), 0};
    });
    till().receipts().setSink([](const QString&) {});

    MainWindow w(till());
    w.show();
    w.findChild<QRadioButton*>(QStringLiteral("jycx_btn"))->click();
    QTRY_VERIFY(w.queryPage());
    FormJiaoYiCX* page = w.queryPage();
    page->findChild<QPushButton*>(QStringLiteral("query_btn"))->click();
    QTRY_COMPARE(f.stub.bodiesOf("Account.Pay.listPay").size(), 1);
    auto* table = page->findChild<QTableView*>(QStringLiteral("tableWidget"));
    const auto refundCell = [&] { return table->indexWidget(table->model()->index(0, page->refundColumn())); };
    QTRY_VERIFY(qobject_cast<QPushButton*>(refundCell()));
    auto* refundButton = qobject_cast<QPushButton*>(refundCell());
    QVERIFY(refundButton->isEnabled());

    // The dialog runs modally for the row: its order, and the refund goes out for that order.
    QString shownNo;
    QString shownMoney;
    QTimer::singleShot(0, [&] {
        const QList<RefundSureDialog*> dialogs = visibleTopLevels<RefundSureDialog>();
        QCOMPARE(dialogs.size(), 1);
        RefundSureDialog* d = dialogs.first();
        QVERIFY(d->isModal());
        shownNo = d->findChild<QLabel*>(QStringLiteral("lblno"))->text();
        shownMoney = d->findChild<QLabel*>(QStringLiteral("lblmoney"))->text();
        d->findChild<QLineEdit*>(QStringLiteral("txtmoney"))->setText(QStringLiteral("5"));
        d->findChild<QLineEdit*>(QStringLiteral("txtpwd"))->setText(QStringLiteral("888888"));
        d->findChild<QPushButton*>(QStringLiteral("btnOk"))->click();
    });
    refundButton->click();
    QCOMPARE(shownNo, QStringLiteral("GW1"));
    QCOMPARE(shownMoney, QStringLiteral("12.50"));
    QCOMPARE(f.boxes.last().text, QStringLiteral("退款成功"));
    QCOMPARE(f.stub.bodiesOf("Account.Pay.refund").size(), 1);
    QCOMPARE(formValue(f.stub.bodiesOf("Account.Pay.refund").first(), QStringLiteral("tradeno")),
             QStringLiteral("OUT1"));
    // Back on the page (after the refund read the order's refunded amount), the rows were asked for again and show
    // the refund.
    QTRY_COMPARE(f.stub.bodiesOf("Account.Pay.listPay").size(), 3);
    QTRY_COMPARE(page->findChild<QLabel*>(QStringLiteral("total_rfee"))->text(), QStringLiteral("5"));
}

QTEST_MAIN(TestShellRefund)
#include "tst_shell_refund.moc"
