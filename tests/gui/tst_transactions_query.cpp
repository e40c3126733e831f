#include "app/comconfig.h"
#include "app/dataconfig.h"
#include "app/usersession.h"
#include "receipts/printhtmlreceipt.h"
#include "screens.h"
#include "testsupport.h"
#include "transactions/formjiaoyicx.h"
#include "transactions/loadingdialog.h"

#include <QDate>
#include <QDateTimeEdit>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMovie>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <atomic>

using namespace testsupport;

namespace {

// One page of a listPay reply: `rows` orders named after the page ("T2-0" is the first of page 2).
QByteArray pageReply(int page, int totalPage, int rows, const QStringList& statuses = {},
                     const QStringList& channels = {}) {
    QJsonArray list;
    for (int i = 0; i < rows; ++i) {
        list.append(QJsonObject{{"trade_no", QStringLiteral("T%1-%2").arg(page).arg(i)},
                                {"out_trade_no", QStringLiteral("O%1-%2").arg(page).arg(i)},
                                {"money", QString::number(1234567 + i)},
                                {"refundfee", i == 0 ? QStringLiteral("1") : QStringLiteral("0")},
                                {"pay_channel", i < channels.size() ? channels.at(i) : QStringLiteral("微信")},
                                {"finalinfo", i < statuses.size() ? statuses.at(i) : QStringLiteral("支付成功")},
                                {"pay_date", "2026-12-07 08:00:00"},
                                {"shopname", "西湖店"},
                                {"cardno", i == 0 ? QStringLiteral("A08") : QString()}});
    }
    const QJsonObject content{{"code", 1},
                              {"listpay", list},
                              {"total_wx", "45"},
                              {"wechat_tfee", "1234567"},
                              {"total_al", "0"},
                              {"alipay_tfee", "0"},
                              {"total_count", "45"},
                              {"total_fee", "1234567"},
                              {"total_rfee", "1250"},
                              {"total_page", totalPage}};
    return QJsonDocument(QJsonObject{{"code", 1}, {"msg", "成功"}, {"content", content}}).toJson();
}

// A stub gateway answering each listPay with the page asked for, out of `totalPage`.
void answerPages(StubGateway& stub, int totalPage, int rowsPerPage = 20) {
    stub.setHandler([=](const QByteArray& body) {
        const int page = formValue(body, QStringLiteral("p")).toInt();
        return StubGateway::Response{200, pageReply(page, totalPage, page == totalPage ? 5 : rowsPerPage)};
    });
}

template <class T>
T* child(QWidget& page, const char* name) {
    T* w = page.findChild<T*>(QString::fromLatin1(name));
    if (!w) {
        qFatal("no %s on the page", name);
    }
    return w;
}

QString cell(FormJiaoYiCX& page, int row, int column) {
    return child<QTableView>(page, "tableWidget")->model()->index(row, column).data().toString();
}

QPushButton* rowButton(FormJiaoYiCX& page, int row, int column) {
    auto* table = child<QTableView>(page, "tableWidget");
    return qobject_cast<QPushButton*>(table->indexWidget(table->model()->index(row, column)));
}

}  // namespace

class TestTransactionsQuery : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firstPageBodyWithFilters_data();
    void firstPageBodyWithFilters();
    void pagingStopsAtTheEnds();
    void goToPage_data();
    void goToPage();
    void failureKeepsTheRows_data();
    void failureKeepsTheRows();
    void busyDialogLastsUntilTheReply();
    void hungQueryCanBeCancelled();
    void spinnerForTheScreen_data();
    void spinnerForTheScreen();
    void rowButtons_data();
    void rowButtons();
    void refundRunsTheDialogAndQueriesAgain();
    void reprint_data();
    void reprint();
    void figuresAreShownWhole();

private:
    // The page over a fresh stub and session; the configuration is set before the page is built.
    FormJiaoYiCX* makePage(bool refund = false, bool card = false);
    void query(FormJiaoYiCX& page, const char* button = "query_btn");

    std::unique_ptr<GatewayFixture> m_fx;
    std::unique_ptr<FormJiaoYiCX> m_page;
};

void TestTransactionsQuery::init() {
    m_fx = std::make_unique<GatewayFixture>();
    till().session().setLoginInfo(
        LoginInfo{QStringLiteral("tok-1"), QStringLiteral("1"), QString(), QStringLiteral("张三"), QString()});
    till().session().setCurrentShop(Shop{QStringLiteral("7"), QString(), QString()});
}

void TestTransactionsQuery::cleanup() {
    m_page.reset();
    // Finished requests close their connections when they are deleted; the stub then stops without waiting.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_fx.reset();
}

FormJiaoYiCX* TestTransactionsQuery::makePage(bool refund, bool card) {
    till().record().refundEnabled = refund;
    till().record().refundCardEnabled = card;
    till().record().setItemName(QStringLiteral("手牌"));
    m_page = std::make_unique<FormJiaoYiCX>(till());
    m_page->setRequestTimeout(5000);
    m_page->show();
    return m_page.get();
}

// Presses `button`; it returns once the reply is in (the busy dialog runs until then).
void TestTransactionsQuery::query(FormJiaoYiCX& page, const char* button) {
    child<QPushButton>(page, button)->click();
}

void TestTransactionsQuery::firstPageBodyWithFilters_data() {
    QTest::addColumn<bool>("card");
    QTest::newRow("hand-tag filter on") << true;
    QTest::newRow("hand-tag filter off") << false;
}

void TestTransactionsQuery::firstPageBodyWithFilters() {
    QFETCH(bool, card);
    answerPages(m_fx->stub, 3);
    FormJiaoYiCX& page = *makePage(false, card);
    QCOMPARE(child<QLabel>(page, "lbl_CardName")->isVisible(), card);
    QCOMPARE(child<QLineEdit>(page, "txtCardNo")->isVisible(), card);
    if (card) {
        QCOMPARE(child<QLabel>(page, "lbl_CardName")->text(), QStringLiteral("手牌名"));
    }
    // Nothing is asked before the cashier presses 查询; the range is today, whole.
    QVERIFY(m_fx->stub.roundTrip());
    QCOMPARE(m_fx->stub.bodies().size(), 0);
    // The gateway's day (UTC+8), whatever the zone the test runs in (Wine keeps the host's).
    const QString today =
        QDateTime::currentDateTimeUtc().toOffsetFromUtc(8 * 3600).date().toString(QStringLiteral("yyyy-M-d"));
    QCOMPARE(child<QDateTimeEdit>(page, "start_dateEdit")->text(), today + QStringLiteral(" 00:00:00"));
    QCOMPARE(child<QDateTimeEdit>(page, "end_dateEdit")->text(), today + QStringLiteral(" 23:59:59"));
    QCOMPARE(child<QLabel>(page, "current_page")->text(), QStringLiteral("1"));
    QCOMPARE(child<QLabel>(page, "total_page")->text(), QString());

    child<QLineEdit>(page, "txtTradeNo")->setText(QStringLiteral("A&B=1"));
    child<QLineEdit>(page, "txtCardNo")->setText(QStringLiteral("A08"));
    query(page);

    QCOMPARE(m_fx->stub.bodies().size(), 1);
    const QByteArray body = m_fx->stub.bodies().first();
    QStringList keys;
    for (const QByteArray& pair : body.split('&')) {
        keys.append(QString::fromLatin1(pair.left(pair.indexOf('='))));
    }
    QCOMPARE(keys, (QStringList{"version", "action", "token", "page_num", "p", "ord", "tradeno", "start_date",
                                "end_date", "shopid", "cardno"}));
    QCOMPARE(formValue(body, "action"), QStringLiteral("Account.Pay.listPay"));
    QCOMPARE(formValue(body, "token"), QStringLiteral("tok-1"));
    QCOMPARE(formValue(body, "page_num"), QStringLiteral("20"));
    QCOMPARE(formValue(body, "p"), QStringLiteral("1"));
    QCOMPARE(formValue(body, "ord"), QStringLiteral("desc"));
    QCOMPARE(formValue(body, "tradeno"), QStringLiteral("A&B=1"));
    QCOMPARE(formValue(body, "start_date"), today + QStringLiteral(" 00:00:00"));
    QCOMPARE(formValue(body, "end_date"), today + QStringLiteral(" 23:59:59"));
    QCOMPARE(formValue(body, "shopid"), QStringLiteral("7"));
    // A hidden field filters nothing, whatever it holds.
    QCOMPARE(formValue(body, "cardno"), card ? QStringLiteral("A08") : QString());
    // Values are encoded, the date's blank and colons included.
    QVERIFY(body.contains("&tradeno=A%26B%3D1&"));
    QVERIFY(body.contains("&start_date=" + today.toLatin1() + "%2000%3A00%3A00&"));

    // The reply on screen: exact amounts, the page count, the rows.
    QCOMPARE(cell(page, 0, 0), QStringLiteral("T1-0"));
    QCOMPARE(cell(page, 0, 1), QStringLiteral("12345.67"));
    QCOMPARE(cell(page, 0, 2), QStringLiteral("0.01"));
    QCOMPARE(cell(page, 1, 2), QStringLiteral("0.00"));
    QCOMPARE(cell(page, 19, 0), QStringLiteral("T1-19"));
    QCOMPARE(cell(page, 20, 0), QString());
    QCOMPARE(child<QLabel>(page, "wechat_money")->text(), QStringLiteral("12345.67"));
    QCOMPARE(child<QLabel>(page, "sk_total")->text(), QStringLiteral("12345.67"));
    QCOMPARE(child<QLabel>(page, "total_rfee")->text(), QStringLiteral("12.5"));
    QCOMPARE(child<QLabel>(page, "total_num")->text(), QStringLiteral("45"));
    QCOMPARE(child<QLabel>(page, "total_page")->text(), QStringLiteral("3"));
    // The busy dialog is gone and keeps turning for the next query.
    QVERIFY(!page.loadingDialog()->isVisible());
    QCOMPARE(page.loadingDialog()->animation()->state(), QMovie::Running);
    query(page);
    QCOMPARE(m_fx->stub.bodies().size(), 2);
    QCOMPARE(page.loadingDialog()->animation()->state(), QMovie::Running);
    QCOMPARE(m_fx->boxes.count(), 0);
}

void TestTransactionsQuery::pagingStopsAtTheEnds() {
    answerPages(m_fx->stub, 2);
    FormJiaoYiCX& page = *makePage();
    // Before any query the page count is empty: 下一页 has nowhere to go.
    query(page, "next_page_btn");
    query(page, "up_page_btn");
    QVERIFY(m_fx->stub.roundTrip());
    QCOMPARE(m_fx->stub.bodies().size(), 0);

    query(page);
    query(page, "next_page_btn");
    QCOMPARE(m_fx->stub.bodies().size(), 2);
    QCOMPARE(formValue(m_fx->stub.bodies().last(), "p"), QStringLiteral("2"));
    QCOMPARE(child<QLabel>(page, "current_page")->text(), QStringLiteral("2"));
    QCOMPARE(cell(page, 0, 0), QStringLiteral("T2-0"));
    // The last page holds five rows; what was below them is gone.
    QCOMPARE(cell(page, 5, 0), QString());

    query(page, "next_page_btn");
    QVERIFY(m_fx->stub.roundTrip());
    QCOMPARE(m_fx->stub.bodies().size(), 2);
    QCOMPARE(page.currentPage(), 2);

    query(page, "up_page_btn");
    QCOMPARE(m_fx->stub.bodies().size(), 3);
    QCOMPARE(formValue(m_fx->stub.bodies().last(), "p"), QStringLiteral("1"));
    query(page, "up_page_btn");
    QVERIFY(m_fx->stub.roundTrip());
    QCOMPARE(m_fx->stub.bodies().size(), 3);
}

void TestTransactionsQuery::goToPage_data() {
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<QString>("warning");  // empty: page `wanted` is queried
    QTest::newRow("within") << "3"
                            << "";
    QTest::newRow("above the total") << "4"
                                     << "查询的页码大于总页码";
    QTest::newRow("zero") << "0"
                          << "查询的页码不能小于1";
    QTest::newRow("empty") << ""
                           << "请输入要查询的页码";
}

void TestTransactionsQuery::goToPage() {
    QFETCH(QString, wanted);
    QFETCH(QString, warning);
    answerPages(m_fx->stub, 3);
    FormJiaoYiCX& page = *makePage();
    query(page);
    QLineEdit* field = child<QLineEdit>(page, "page_lineEdit");
    // Only digits go into the field.
    QTest::keyClicks(field, QStringLiteral("-x"));
    QCOMPARE(field->text(), QString());
    field->setText(wanted);
    query(page, "query_page_btn");
    if (warning.isEmpty()) {
        QCOMPARE(m_fx->stub.bodies().size(), 2);
        QCOMPARE(formValue(m_fx->stub.bodies().last(), "p"), wanted);
        QCOMPARE(child<QLabel>(page, "current_page")->text(), wanted);
        QCOMPARE(m_fx->boxes.count(), 0);
        return;
    }
    QVERIFY(m_fx->stub.roundTrip());
    QCOMPARE(m_fx->stub.bodies().size(), 1);
    QCOMPARE(m_fx->boxes.count(), 1);
    QCOMPARE(m_fx->boxes.last().icon, QMessageBox::Warning);
    QCOMPARE(m_fx->boxes.last().title, QStringLiteral("错误提示"));
    QCOMPARE(m_fx->boxes.last().text, warning);
    QCOMPARE(page.currentPage(), 1);
}

void TestTransactionsQuery::failureKeepsTheRows_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("message");
    QTest::newRow("expired token") << 200 << QByteArray(R"({"code":2,"msg":"token无效","content":{"code":0,
                                                    "msg":"登录已过期，请重新登录"}})")
                                   << "登录已过期，请重新登录";
    QTest::newRow("server error") << 500 << QByteArray("<html>error</html>") << "数据查询失败，请检查网络设置";
    QTest::newRow("not JSON") << 200 << QByteArray("<html>error</html>") << "数据查询失败，请检查网络设置";
}

void TestTransactionsQuery::failureKeepsTheRows() {
    QFETCH(int, status);
    QFETCH(QByteArray, reply);
    QFETCH(QString, message);
    answerPages(m_fx->stub, 3);
    FormJiaoYiCX& page = *makePage(true);
    query(page);

    m_fx->stub.setReply(reply, status);
    query(page, "next_page_btn");
    QCOMPARE(m_fx->stub.bodies().size(), 2);
    QCOMPARE(m_fx->boxes.count(), 1);
    QCOMPARE(m_fx->boxes.last().icon, QMessageBox::Critical);
    QCOMPARE(m_fx->boxes.last().title, QStringLiteral("错误提示"));
    QCOMPARE(m_fx->boxes.last().text, message);
    QVERIFY(!page.loadingDialog()->isVisible());
    // Rows, labels and buttons are those of page 1 still, and so is the page the paging starts from.
    QCOMPARE(cell(page, 0, 0), QStringLiteral("T1-0"));
    QVERIFY(rowButton(page, 19, page.reprintColumn()));
    QCOMPARE(child<QLabel>(page, "total_page")->text(), QStringLiteral("3"));
    QCOMPARE(child<QLabel>(page, "current_page")->text(), QStringLiteral("1"));
    QCOMPARE(page.currentPage(), 1);

    answerPages(m_fx->stub, 3);
    query(page, "next_page_btn");
    QCOMPARE(formValue(m_fx->stub.bodies().last(), "p"), QStringLiteral("2"));
}

void TestTransactionsQuery::busyDialogLastsUntilTheReply() {
    m_fx->stub.setHandler([](const QByteArray&) { return StubGateway::Response{200, pageReply(1, 1, 3), 400}; });
    FormJiaoYiCX& page = *makePage();
    bool upWhileWaiting = false;
    QTimer::singleShot(100, [&] {
        upWhileWaiting = page.loadingDialog()->isVisible();
        QTest::keyClick(page.loadingDialog(), Qt::Key_Escape);
    });
    query(page);
    QVERIFY(upWhileWaiting);
    // Esc did not end the wait: the key press returned with the reply on screen and the dialog gone.
    QCOMPARE(m_fx->stub.bodies().size(), 1);
    QCOMPARE(cell(page, 2, 0), QStringLiteral("T1-2"));
    QVERIFY(!page.loadingDialog()->isVisible());
}

void TestTransactionsQuery::spinnerForTheScreen_data() {
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<int>("scale");
    QTest::newRow("100%") << qreal(1.0) << 1;
    QTest::newRow("200%") << qreal(2.0) << 2;
}

void TestTransactionsQuery::spinnerForTheScreen() {
    QFETCH(qreal, ratio);
    QFETCH(int, scale);
    // A screen scaled 200% gets the animation drawn at twice the pixels, frames and all, not the 100% one enlarged.
    QImageReader base(LoadingDialog::animationFile(1.0));
    QImageReader chosen(LoadingDialog::animationFile(ratio));
    QVERIFY2(chosen.canRead(), qPrintable(chosen.fileName()));
    QCOMPARE(chosen.size(), base.size() * scale);
    QCOMPARE(chosen.imageCount(), base.imageCount());
}

void TestTransactionsQuery::hungQueryCanBeCancelled() {
    // The first query hangs well past the cashier's patience; the next one is answered at once.
    std::atomic<int> calls{0};
    m_fx->stub.setHandler([&calls](const QByteArray&) {
        const bool first = calls++ == 0;
        return StubGateway::Response{200, pageReply(first ? 9 : 1, 9, 3), first ? 1500 : 0};
    });
    FormJiaoYiCX& page = *makePage();
    DebugLog log;
    LoadingDialog* busy = page.loadingDialog();
    busy->setCancelDelay(50);
    // 取消查询 is not offered the moment the dialog comes up.
    busy->show();
    QVERIFY(!busy->cancelButton()->isVisible());
    busy->hide();
    // Pressed as soon as it is offered.
    QTimer press;
    press.setInterval(10);
    connect(&press, &QTimer::timeout, [&] {
        if (busy->isVisible() && busy->cancelButton()->isVisible()) {
            press.stop();
            busy->cancelButton()->click();
        }
    });
    press.start();
    query(page);
    QVERIFY(!busy->isVisible());
    QCOMPARE(cell(page, 0, 0), QString());

    // The page is free at once: the next query goes out and is shown, and the cancelled one's late answer, when it
    // comes, changes nothing.
    query(page);
    QCOMPARE(cell(page, 0, 0), QStringLiteral("T1-0"));
    QTRY_COMPARE(log.count(QStringLiteral("reply from")), 2);
    QCOMPARE(cell(page, 0, 0), QStringLiteral("T1-0"));
    QCOMPARE(child<QLabel>(page, "current_page")->text(), QStringLiteral("1"));
}

void TestTransactionsQuery::rowButtons_data() {
    QTest::addColumn<bool>("refund");
    QTest::newRow("refund function on") << true;
    QTest::newRow("refund function off") << false;
}

void TestTransactionsQuery::rowButtons() {
    QFETCH(bool, refund);
    m_fx->stub.setReply(pageReply(1, 1, 4, {"支付成功", "退款成功", "支付成功", "已退款,交易关闭"},
                                  {"微信", "刷卡", "刷卡", "支付宝"}));
    FormJiaoYiCX& page = *makePage(refund);
    const QAbstractItemModel* table = child<QTableView>(page, "tableWidget")->model();
    QCOMPARE(table->columnCount(), refund ? 8 : 7);
    QCOMPARE(table->headerData(table->columnCount() - 1, Qt::Horizontal).toString(), QStringLiteral("重打印"));
    QCOMPARE(table->headerData(6, Qt::Horizontal).toString(),
             refund ? QStringLiteral("退款") : QStringLiteral("重打印"));
    query(page);

    const int reprintColumn = refund ? 7 : 6;
    QCOMPARE(page.reprintColumn(), reprintColumn);
    for (int row = 0; row < 4; ++row) {
        QPushButton* reprint = rowButton(page, row, reprintColumn);
        QVERIFY(reprint);
        QCOMPARE(reprint->text(), QStringLiteral("重打印"));
        QVERIFY(reprint->isEnabled());
    }
    QVERIFY(!rowButton(page, 4, reprintColumn));
    if (!refund) {
        QCOMPARE(page.refundColumn(), -1);
        return;
    }
    const QStringList texts{"退款", "已退款", "暂不支持", "已退款"};
    // Without the refund dialog wired the refund buttons cannot be pressed; once it is, all but the card one can.
    for (int row = 0; row < 4; ++row) {
        QCOMPARE(rowButton(page, row, 6)->text(), texts.at(row));
        QVERIFY(!rowButton(page, row, 6)->isEnabled());
    }
    page.setRefundOpener([](const Order&) {});
    const QList<bool> enabled{true, true, false, true};
    for (int row = 0; row < 4; ++row) {
        QCOMPARE(rowButton(page, row, 6)->isEnabled(), enabled.at(row));
    }
}

void TestTransactionsQuery::refundRunsTheDialogAndQueriesAgain() {
    answerPages(m_fx->stub, 3);
    FormJiaoYiCX& page = *makePage(true);
    Order opened;
    QStringList pagesWhileOpen;  // what each request the gateway had when the dialog opened asked for
    page.setRefundOpener([&](const Order& order) {
        opened = order;
        for (const QByteArray& body : m_fx->stub.bodies()) {
            pagesWhileOpen << QString::fromUtf8(actionOf(body)) + QStringLiteral(" p=") + formValue(body, "p");
        }
    });
    query(page);
    query(page, "next_page_btn");
    rowButton(page, 1, 6)->click();
    QCOMPARE(opened.outTradeNo, QStringLiteral("O2-1"));
    QCOMPARE(opened.tradeNo, QStringLiteral("T2-1"));
    QCOMPARE(pagesWhileOpen.join(QStringLiteral(", ")),
             QStringLiteral("Account.Pay.listPay p=1, Account.Pay.listPay p=2"));
    // Back from the dialog, the same page again.
    QCOMPARE(m_fx->stub.bodies().size(), 3);
    QCOMPARE(formValue(m_fx->stub.bodies().last(), "p"), QStringLiteral("2"));
    QCOMPARE(cell(page, 1, 0), QStringLiteral("T2-1"));
}

void TestTransactionsQuery::reprint_data() {
    QTest::addColumn<QString>("printer");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("title");  // empty: nothing printed
    QTest::newRow("printing off") << "不打印小票" << 0 << "";
    QTest::newRow("paid") << "CashierCapture" << 0 << "移动收银台(重打印)</a>";
    QTest::newRow("refunded") << "CashierCapture" << 1 << "移动收银台(重打印)-退款</a>";
}

void TestTransactionsQuery::reprint() {
    QFETCH(QString, printer);
    QFETCH(int, row);
    QFETCH(QString, title);
    till().settings().setPrinterName(printer);
    m_fx->stub.setReply(pageReply(1, 1, 2, {"部分退款", "已退款,交易关闭"}));
    FormJiaoYiCX& page = *makePage(true);
    query(page);
    ReceiptCatcher catcher;
    rowButton(page, row, page.reprintColumn())->click();
    if (title.isEmpty()) {
        QCOMPARE(catcher.html.size(), 0);
        QCOMPARE(m_fx->boxes.count(), 1);
        QCOMPARE(m_fx->boxes.last().icon, QMessageBox::Warning);
        QCOMPARE(m_fx->boxes.last().title, QStringLiteral("提示信息"));
        QCOMPARE(m_fx->boxes.last().text, QStringLiteral("当前没有设置可用打印机,如需打印请先设置打印机"));
        return;
    }
    QCOMPARE(m_fx->boxes.count(), 0);
    QCOMPARE(catcher.html.size(), 1);
    const QString html = catcher.html.first();
    QVERIFY(html.contains(title));
    QVERIFY(html.contains(QStringLiteral("系统单号：O1-%1</a>").arg(row)));
    QVERIFY(html.contains(QStringLiteral(">T1-%1</a>").arg(row)));
    QVERIFY(html.contains(QStringLiteral("操作员：张三</a>")));
    QVERIFY(html.contains(QStringLiteral("交易金额(RMB)：￥%1</a>").arg(row == 0 ? "12345.67" : "12345.68")));
    QVERIFY(html.contains(QStringLiteral("退款金额(RMB)：￥%1</a>").arg(row == 0 ? "0.01" : "0.00")));
    QVERIFY(html.contains(QStringLiteral("房间号：%1</a>").arg(row == 0 ? "A08" : "")));
}

void TestTransactionsQuery::figuresAreShownWhole() {
    const QJsonObject content{{"code", 1},
                              {"listpay", QJsonArray{}},
                              {"total_wx", "1"},
                              {"wechat_tfee", "10000005598"},
                              {"total_al", "1234567"},
                              {"alipay_tfee", "99999999999999"},
                              {"jdpay_tnum", "1234567"},
                              {"jdpay_tfee", "99999999999999"},
                              {"swipingcard_tnum", "1"},
                              {"total_pos", "1234567"},
                              {"swipingcard_tfee", "99999999999999"},
                              {"total_count", "3703702"},
                              {"total_fee", "99999999999999"},
                              {"total_rfee", "10000005598"},
                              {"total_page", 1}};
    m_fx->stub.setReply(QJsonDocument(QJsonObject{{"code", 1}, {"msg", "成功"}, {"content", content}}).toJson());
    till().record().setItemName(QString());
    till().record().refundEnabled = 1;
    till().record().refundCardEnabled = 1;
    m_page = std::make_unique<FormJiaoYiCX>(till());
    m_page->resize(780, 455);
    m_page->show();
    FormJiaoYiCX& page = *m_page;
    // Without an item name the filter is still labelled by its word for name.
    QCOMPARE(child<QLabel>(page, "lbl_CardName")->text(), QStringLiteral("名"));
    query(page);

    QCOMPARE(child<QLabel>(page, "wechat_money")->text(), QStringLiteral("100000055.98"));
    QCOMPARE(child<QLabel>(page, "sk_total")->text(), QStringLiteral("999999999999.99"));
    auto* frame = child<QFrame>(page, "frame_sum");
    const QList<QLabel*> labels = frame->findChildren<QLabel*>();
    for (QLabel* label : labels) {
        // Whole: as wide as its text needs, inside the frame, clear of its neighbours in the row.
        QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->objectName()));
        QVERIFY2(frame->rect().contains(label->geometry()), qPrintable(label->objectName()));
        for (QLabel* other : labels) {
            QVERIFY2(other == label || !other->geometry().intersects(label->geometry()),
                     qPrintable(label->objectName() + QLatin1Char('/') + other->objectName()));
        }
    }
    // The columns as designed, the order number's 200 pixels included, with the refund column in use.
    auto* table = child<QTableView>(page, "tableWidget");
    const QList<int> widths{200, 70, 70, 70, 70, 140, 70};
    for (int c = 0; c < widths.size(); ++c) {
        QCOMPARE(table->columnWidth(c), widths.at(c));
    }
}

QTEST_MAIN(TestTransactionsQuery)
#include "tst_transactions_query.moc"
