// Draws every screen of the client, in the states whose looks differ, into PNG files: a change meant to keep the
// looks (the style sheet's layout, say) is checked by comparing the pictures before and after it
// (scripts/screens.sh). Not a test: it asserts nothing and is run by hand.
//
//   shoot_screens OUT_DIR      (under QT_QPA_PLATFORM=offscreen and a fixed clock, as scripts/screens.sh runs it)

#include "collect/formcs.h"
#include "collect/formsaomashoukuan.h"
#include "collect/formtradeinfo.h"
#include "collect/selectshopdialog.h"
#include "core/till.h"
#include "payments/journal.h"
#include "refunds/refundsuredialog.h"
#include "settings/settingmain.h"
#include "shell/aboutdialog.h"
#include "shell/floatwidget.h"
#include "shell/loginwidget.h"
#include "shell/mainwindow.h"
#include "shell/traymenu.h"
#include "testsupport.h"
#include "transactions/checkdetaildialog.h"
#include "transactions/mytrade.h"
#include "widgets/messagebox.h"
#include "widgets/windowstyle.h"

#include "gateway/replies.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrlQuery>
#include <QtTest>

using namespace testsupport;

namespace {

QString g_out;
int g_shots = 0;

QString actionOf(const QByteArray& body) {
    return QUrlQuery(QString::fromUtf8(body)).queryItemValue(QStringLiteral("action"), QUrl::FullyDecoded);
}

QString today(const char* time) {
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd ")) + QLatin1String(time);
}

QByteArray listingReply() {
    QJsonArray list;
    for (int i = 0; i < 3; ++i) {
        list.append(QJsonObject{{"trade_no", QStringLiteral("T%1").arg(i)},
                                {"out_trade_no", QStringLiteral("O%1").arg(i)},
                                {"money", QString::number(1250 + i)},
                                {"refundfee", i == 1 ? QStringLiteral("1250") : QStringLiteral("0")},
                                {"pay_channel", i == 2 ? QStringLiteral("支付宝") : QStringLiteral("微信")},
                                {"finalinfo", QStringLiteral("支付成功")},
                                {"pay_date", today("08:00:00")},
                                {"shopname", "西湖店"},
                                {"cardno", QString()}});
    }
    const QJsonObject content{{"code", 1},
                              {"listpay", list},
                              {"total_wx", "2"},
                              {"wechat_tfee", "2501"},
                              {"total_al", "1"},
                              {"alipay_tfee", "1252"},
                              {"total_count", "3"},
                              {"total_fee", "3753"},
                              {"total_rfee", "1250"},
                              {"total_page", 1}};
    return QJsonDocument(QJsonObject{{"code", 1}, {"msg", "成功"}, {"content", content}}).toJson();
}

// Fixed answers for every action a screen asks for while it opens.
StubGateway::Response answer(const QByteArray& body) {
    const QString action = actionOf(body);
    if (action == QLatin1String("Account.Shop.listShop")) {
        return {200, R"({"content":{"listshop":[{"shopid":"7","main_name":"柚屿茶馆","branch_name":"东门店"},)"
                     R"({"shopid":"8","main_name":"柚屿茶馆","branch_name":""}]}})"};
    }
    if (action == QLatin1String("Account.Pay.listPay")) {
        return {200, listingReply()};
    }
    if (action == QLatin1String("Account.Print.prinTtime")) {
        return {200, QStringLiteral(R"({"code":1,"content":{"code":1,"time1":"%1","time2":"%2"}})")
                         .arg(today("00:00:00"), today("23:59:59"))
                         .toUtf8()};
    }
    if (action == QLatin1String("Account.Pay.listSumTicket")) {
        return {200, QStringLiteral(R"({"code":1,"content":{"code":1,"time1":"%1","time2":"%2","allmoney":"3753",
            "refundmoney":"1250","ALIPAY":{"money":"1252","refundmoney":"0"},"WECHAT":{"money":"2501",
            "refundmoney":"1250"},"tickets":[{"cardno":"成人票","sum":"40","num":"2"}]}})")
                         .arg(today("00:00:00"), today("23:59:59"))
                         .toUtf8()};
    }
    if (action == QLatin1String("Share.Ace.login")) {
        return {200, R"({"code":1,"content":{"code":1,"token":"tk","uid":"42","name":"张三"}})", 1500};
    }
    return {200, R"({"code":0,"content":{"code":0,"msg":"未开通"}})"};
}

void settle(int ms = 300) {
    QTest::qWait(ms);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void shoot(const QString& name, QWidget* widget) {
    QPointer<QWidget> w(widget);
    settle();
    if (!w) {
        qWarning("%s: the window went away before it was drawn", qPrintable(name));
        return;
    }
    const QString file = QDir(g_out).filePath(name + QStringLiteral(".png"));
    if (!w->grab().save(file)) {
        qFatal("cannot write %s", qPrintable(file));
    }
    ++g_shots;
}

// A box as the client shows it, over `parent`: its looks must win over the window's.
void shootBox(const QString& name, QWidget* parent) {
    QMessageBox* box = msgbox::create(parent, QMessageBox::Information, msgbox::Title::Tip, QStringLiteral("保存成功"),
                                      QMessageBox::Ok);
    QPointer<QMessageBox> guard(box);
    box->show();
    shoot(name, box);
    delete guard.data();
}

void signIn(Till& till) {
    till.session().setLoginInfo(
        LoginInfo{QStringLiteral("tk-1"), QStringLiteral("42"), QStringLiteral("张三"), QString(), QString()});
    till.session().setCurrentShop(Shop{QStringLiteral("7"), QStringLiteral("柚屿茶馆"), QStringLiteral("东门店")});
    till.session().setTicketTypes(
        {TicketType{QStringLiteral("成人票"), 2000, 1}, TicketType{QStringLiteral("儿童票"), 1000, 2}});
}

Order paidSale() {
    return replies::saleOf(QJsonDocument::fromJson(R"({"operator":"张三","out_trade_no":"ORD1",
        "pay_channel":"WECHAT","money":1250,"pay_date":"2026-12-07 08:00:00","shopname":"东门店",
        "tickets":[{"name":"成人票","num":"2"},{"name":"儿童票","num":"1"}]})")
                               .object());
}

void shootAll() {
    GatewayFixture f;
    f.stub.setHandler(answer);
    Till& t = f.dir.till();
    t.settings().setGatewayUrl(f.stub.url());
    t.settings().setPrinterName(QStringLiteral("不打印小票"));
    IdleSerialLine serial;

    {
        LoginWidget w(t);
        w.show();
        shoot(QStringLiteral("01-login"), &w);
        shootBox(QStringLiteral("02-login-box"), &w);
        w.findChild<QLineEdit*>(QStringLiteral("login_user"))->setText(QStringLiteral("demo"));
        w.findChild<QLineEdit*>(QStringLiteral("login_password"))->setText(QStringLiteral("demo123"));
        QMetaObject::invokeMethod(&w, "on_login_btn_clicked");
        shoot(QStringLiteral("03-login-waiting"), &w);
        f.stub.waitForAnswers(10000);
        settle();
        t.endSession();
    }
    signIn(t);
    {
        SelectShopDialog d(t.stores());
        d.show();
        shoot(QStringLiteral("04-selectshop"), &d);
    }
    {
        MainWindow w(t);
        w.show();
        shoot(QStringLiteral("05-main-tickets"), &w);
        w.findChild<QRadioButton*>(QStringLiteral("smsk_btn"))->click();
        shoot(QStringLiteral("06-main-amount"), &w);
        w.amountPage()->setAmountText(QStringLiteral("12.50"));
        shoot(QStringLiteral("07-main-amount-keyed"), &w);
        w.findChild<QRadioButton*>(QStringLiteral("sjxx_btn"))->click();
        shoot(QStringLiteral("08-main-merchant"), &w);
        w.findChild<QRadioButton*>(QStringLiteral("jycx_btn"))->click();
        settle();
        if (auto* query = w.findChild<QPushButton*>(QStringLiteral("query_btn"))) {
            query->click();
        }
        f.stub.waitForAnswers();
        shoot(QStringLiteral("09-main-query"), &w);
        w.findChild<QRadioButton*>(QStringLiteral("smsk_btn"))->click();
        settle();
        w.amountPage()->setAmountText(QStringLiteral("12.50"));
        w.amountPage()->startCollect();
        if (QPointer<FormCS> cs = w.amountPage()->paymentWindow()) {
            shoot(QStringLiteral("10-payment"), cs);
            delete cs.data();
        }
        if (FloatWidget* fw = w.floatWidget()) {
            fw->show();
            shoot(QStringLiteral("12-float"), fw);
        }
        w.hide();
    }
    {
        FormTradeInfo info(t.receipts(), paidSale());
        info.show();
        shoot(QStringLiteral("13-result"), &info);
        shootBox(QStringLiteral("14-result-box"), &info);
    }
    {
        // The till prints a paid sale and hands the result window how it went.
        t.settings().setPrinterName(QStringLiteral("no-such-queue"));
        FormTradeInfo info(t.receipts(), paidSale(), t.charges().printPaid(paidSale()));
        info.show();
        f.stub.waitForAnswers();
        shoot(QStringLiteral("15-result-not-printed"), &info);
        t.settings().setPrinterName(QStringLiteral("不打印小票"));
    }
    {
        RefundSureDialog d(t, nullptr, QStringLiteral("OUT1"), QStringLiteral("GW1"), QStringLiteral("1250"),
                           QStringLiteral("支付宝"), [](SettingsPage) {});
        d.show();
        f.stub.waitForAnswers();
        shoot(QStringLiteral("16-refund"), &d);
    }
    {
        myTrade d(t);
        d.show();
        f.stub.waitForAnswers();
        settle();
        f.stub.waitForAnswers();
        shoot(QStringLiteral("17-summary"), &d);
    }
    {
        // A paid charge of this till that the gateway does not list: the check disagrees.
        journal::Attempt a;
        a.saleId = QStringLiteral("sale-1");
        a.fen = 990;
        a.shopId = QStringLiteral("7");
        a.cashierId = QStringLiteral("42");
        a.createdAt = QDateTime::currentDateTime().addSecs(-60);
        QString error;
        if (auto id = t.journal()->begin(a, &error)) {
            t.journal()->settle(*id, journal::State::Paid, QStringLiteral("ORDX"), QString(), &error);
        }
        myTrade d(t);
        d.show();
        f.stub.waitForAnswers();
        settle();
        f.stub.waitForAnswers();
        shoot(QStringLiteral("18-summary-disagrees"), &d);
    }
    {
        reconcile::Finding finding;
        finding.orderNo = QStringLiteral("ORDX");
        finding.fenHere = 990;
        finding.at = QDateTime(QDate(2026, 12, 7), QTime(8, 0));
        CheckDetailDialog d({finding});
        d.show();
        shoot(QStringLiteral("19-check-details"), &d);
    }
    {
        SettingMain hub(t);
        int n = 20;
        for (SettingsPage page : kSettingsPages) {
            QTimer::singleShot(0, &hub, [&hub, &n] {
                shoot(QStringLiteral("%1-settings-%2").arg(n++).arg(hub.currentPage()->metaObject()->className()),
                      &hub);
                if (n == 21) {
                    shootBox(QStringLiteral("20b-settings-box"), &hub);
                }
                hub.on_close_btn_clicked();
            });
            hub.open(page);
        }
    }
    {
        AboutDialog d;
        d.show();
        shoot(QStringLiteral("27-about"), &d);
    }
    {
        TrayMenu menu(t.settings());
        menu.popup(QPoint(0, 0));
        shoot(QStringLiteral("28-traymenu"), &menu);
    }
    f.stub.waitForAnswers();
    settle();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        qFatal("usage: shoot_screens OUT_DIR");
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);
    // A text cursor that blinks would differ from one picture to the next.
    QApplication::setCursorFlashTime(0);
    windowstyle::applyApplicationStyle();
    // Boxes opened by the screens themselves are answered unseen; the ones drawn here are shown on purpose.
    shootAll();
    qInfo("%d screens in %s", g_shots, qPrintable(g_out));
    return 0;
}
