// Shift summary rules without a window: totals reply -> labels, ticket lines and their HTML, the printed summary,
// and when totals are queried, applied and printable.
#include "receipts/summaryhtml.h"
#include "transactions/shiftsummarylogic.h"

#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

using namespace shiftsummary;
using receipts::SummaryTicket;
Q_DECLARE_METATYPE(SummaryTicket)

namespace {

// A totals reply whose "content" is `content`, as the gateway call hands it over.
replies::Read<replies::Totals> totalsOf(const QByteArray& content) {
    return replies::totals(gateway::readReply(HttpFun::Ending::Answered, 200, true,
                                              QByteArray(R"({"content":)") + content + QByteArray("}")));
}

}  // namespace

class TestShiftSummary : public QObject {
    Q_OBJECT

private slots:
    void moneyLabels_data() {
        QTest::addColumn<QByteArray>("allmoney");
        QTest::addColumn<QString>("label");
        QTest::newRow("1250 fen") << QByteArray(R"("1250")") << "￥12.50元";
        QTest::newRow("one fen") << QByteArray(R"("1")") << "￥0.01元";
        QTest::newRow("exact beyond double's cents") << QByteArray(R"("99999999999999")") << "￥999999999999.99元";
        QTest::newRow("a number is an amount too") << QByteArray("1250") << "￥12.50元";
        QTest::newRow("refunds over sales") << QByteArray(R"("-305")") << "￥-3.05元";
    }
    void moneyLabels() {
        QFETCH(QByteArray, allmoney);
        QFETCH(QString, label);
        const replies::Read<replies::Totals> t = totalsOf(R"({"allmoney":)" + allmoney + "}");
        QVERIFY(t.ok());
        QCOMPARE(labelsFromTotals(t.value).total, label);
    }
    void unknownAmountShowsEmpty() {
        // Never ￥0.00元 for an amount the gateway did not send.
        QCOMPARE(moneyLabel(std::nullopt), QString());
        QCOMPARE(moneyLabel(qint64(0)), QString("￥0.00元"));
    }

    void totalsToLabels_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("labels");  // start end total alipay alipayRefund wechat wechatRefund refunds
        QTest::addColumn<int>("tickets");
        QTest::newRow("full reply")
            << QByteArray(R"({"time1":"2026-12-07 08:00:00","time2":"2026-12-07 18:00:00","allmoney":"4560",
                "refundmoney":"300","ALIPAY":{"money":"1250","refundmoney":"100"},
                "WECHAT":{"money":"3310","refundmoney":"200"},
                "tickets":[{"cardno":"成人票","sum":"40","num":"2"}]})")
            << QStringList{"2026-12-07 08:00:00",
                           "2026-12-07 18:00:00",
                           "￥45.60元",
                           "￥12.50元",
                           "￥1.00元",
                           "￥33.10元",
                           "￥2.00元",
                           "￥3.00元"}
            << 1;
        QTest::newRow("empty values are not amounts")
            << QByteArray(R"({"time1":"","allmoney":"0","refundmoney":"","ALIPAY":{"money":"","refundmoney":""},
                "WECHAT":{"money":"","refundmoney":""},"tickets":[]})")
            << QStringList{"", "", "￥0.00元", "", "", "", "", ""} << 0;
        QTest::newRow("channels not objects, times not text")
            << QByteArray(R"({"time1":20261207,"allmoney":"5","ALIPAY":"1250","WECHAT":[1],"tickets":{}})")
            << QStringList{"20261207", "", "￥0.05元", "", "", "", "", ""} << 0;
    }
    void totalsToLabels() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, labels);
        QFETCH(int, tickets);
        const replies::Read<replies::Totals> t = totalsOf(content);
        QVERIFY(t.ok());
        const Labels l = labelsFromTotals(t.value);
        QCOMPARE((QStringList{l.start, l.end, l.total, l.alipayMoney, l.alipayRefund, l.wechatMoney, l.wechatRefund,
                              l.refundTotal}),
                 labels);
        QCOMPARE(l.tickets.size(), tickets);
    }

    void totalsReplyRecognised_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("totals");
        QTest::newRow("totals") << QByteArray(R"({"allmoney":"0"})") << true;
        QTest::newRow("empty allmoney is no totals answer") << QByteArray(R"({"allmoney":""})") << false;
        QTest::newRow("refused query") << QByteArray(R"({"code":0,"msg":"token无效"})") << false;
        QTest::newRow("empty content") << QByteArray("{}") << false;
    }
    void totalsReplyRecognised() {
        QFETCH(QByteArray, content);
        QFETCH(bool, totals);
        const replies::Read<replies::Totals> t = totalsOf(content);
        QCOMPARE(t.ok(), totals);
        // A refusal says why; the dialog shows that rather than a summary of zeros.
        if (content.contains("msg")) {
            QCOMPARE(totalsFailure(t.status), QString("token无效"));
        } else if (!totals) {
            QCOMPARE(totalsFailure(t.status), QString("数据查询失败，请检查网络设置"));
        }
    }

    void ticketsReadInOrder() {
        const Labels l =
            labelsFromTotals(totalsOf(R"({"allmoney":"0","tickets":[{"cardno":"成人票","sum":"40","num":"2"},
            {"cardno":"儿童票","sum":"10","num":"1"},{"cardno":7,"sum":12.5,"num":[3]}]})")
                                 .value);
        QCOMPARE(l.tickets.size(), 3);
        QCOMPARE(l.tickets.at(0).cardno, QString("成人票"));
        QCOMPARE(l.tickets.at(1).num, QString("1"));
        // A whole number reads as its digits; anything else that is not text as empty.
        QCOMPARE(receipts::summaryTicketLine(l.tickets.at(2)), QString("7(元,张)"));
    }

    void ticketLinesAndHtml_data() {
        QTest::addColumn<QList<SummaryTicket>>("tickets");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("none") << QList<SummaryTicket>{} << QStringList{};
        QTest::newRow("one") << QList<SummaryTicket>{{"成人票", "40", "2"}} << QStringList{"成人票(40元,2张)"};
        QTest::newRow("two") << QList<SummaryTicket>{{"成人票", "40", "2"}, {"老人票", "12.5", "1"}}
                             << QStringList{"成人票(40元,2张)", "老人票(12.5元,1张)"};
    }
    void ticketLinesAndHtml() {
        QFETCH(QList<SummaryTicket>, tickets);
        QFETCH(QStringList, lines);
        QStringList shown;
        for (const SummaryTicket& t : tickets) {
            shown << receipts::summaryTicketLine(t);
        }
        QCOMPARE(shown, lines);

        const QString html = receipts::summaryTicketsHtml(tickets);
        if (tickets.isEmpty()) {
            QVERIFY(html.isEmpty());
            return;
        }
        const QString heading = QStringLiteral("<br><a style='font-family:微软雅黑;font-size:20px;'>购票信息：</a>");
        QVERIFY(html.startsWith(heading));
        QStringList entries;
        for (const QString& line : lines) {
            entries << QStringLiteral("<a style='font-family:微软雅黑;font-size:18px;'>") + line +
                           QStringLiteral("</a><br/>");
        }
        QCOMPARE(html, heading + entries.join(QString()));
    }

    void ticketHtmlEscaped() {
        const QString html = receipts::summaryTicketsHtml({{"<b>票&", "1", "1"}});
        QVERIFY(html.contains("&lt;b&gt;票&amp;(1元,1张)"));
        QVERIFY(!html.contains("<b>"));
    }

    void summaryFragmentsInOrder_data() {
        QTest::addColumn<QString>("ticketsHtml");
        QTest::newRow("without tickets") << QString();
        QTest::newRow("with tickets") << receipts::summaryTicketsHtml({{"成人票", "40", "2"}});
    }
    void summaryFragmentsInOrder() {
        QFETCH(QString, ticketsHtml);
        receipts::ShiftSummary s;
        s.shopName = "岚舟演示商户西湖店";
        s.cashier = "张三";
        s.start = "2026-12-07 08:00:00";
        s.end = "2026-12-07 18:00:00";
        s.alipayMoney = "￥12.50元";
        s.alipayRefund = "￥1.00元";
        s.wechatMoney = "￥33.10元";
        s.wechatRefund = "￥2.00元";
        s.total = "￥45.60元";
        s.refundTotal = "￥3.00元";
        s.ticketsHtml = ticketsHtml;
        s.printedAt = "2026.12.07 18:05:00";
        s.servicePhone = "400-800-9090";
        const QString html = receipts::shiftSummaryHtml(s);
        const QString line = QStringLiteral("<br><a style='font-family:微软雅黑;font-size:23px;'>");
        const QString rule = QStringLiteral("<br><a><font size='8'>-------------------------</font></a>");
        const QString nbsp = QStringLiteral("&nbsp;");
        const QStringList order{
            "<html> <p style='font-size: 30px;'>&nbsp;&nbsp; 岚舟门店</p> <br> "
            "<a style='font-family:微软雅黑;font-size:23px;'>" +
                nbsp.repeated(19) + "收银汇总</a>",
            rule,
            line + "商户存根" + nbsp.repeated(15) + "SHOP" + nbsp.repeated(5) + "COPY</a>",
            rule,
            line + "门店名称：岚舟演示商户西湖店</a>",
            line + "操作人员：张三</a>",
            line + "开始时间：2026-12-07 08:00:00</a>",
            line + "结束时间：2026-12-07 18:00:00</a>",
            rule,
            line + "支付宝金额：￥12.50元</a>",
            line + "支付宝退款：￥1.00元</a>",
            line + "微信金额：￥33.10元</a>",
            line + "微信退款：￥2.00元</a>",
            rule,
            line + "交易总金额：￥45.60元</a>",
            line + "退款总金额：￥3.00元</a>",
            line + "售票信息：</a>" + ticketsHtml,
            line + "打印时间：2026.12.07 18:05:00</a>",
            line + "客服电话：400-800-9090</a>",
            "</html>",
        };
        QCOMPARE(testsupport::firstOutOfOrder(html, order), -1);
        // Nothing but these pieces: the receipt is exactly their concatenation.
        QCOMPARE(html, order.join(QString()));
    }

    void summaryValuesEscaped() {
        receipts::ShiftSummary s;
        s.shopName = "A&B<店>";
        const QString html = receipts::shiftSummaryHtml(s);
        QVERIFY(html.contains("门店名称：A&amp;B&lt;店&gt;</a>"));
    }

    void shopLabelJoinsWithoutSeparator() {
        QCOMPARE(shopLabel(Shop{"1", "岚舟演示商户", "西湖店"}), QString("岚舟演示商户西湖店"));
        QCOMPARE(shopLabel(Shop{"1", "岚舟演示商户", ""}), QString("岚舟演示商户"));
        QCOMPARE(shopLabel(Shop()), QString());
    }

    // The check of this till's record covers the whole of the period's last second, as the gateway's totals do.
    void periodEndsAtTheEndOfItsSecond() {
        const QDateTime second(QDate(2026, 12, 8), QTime(18, 30, 5));
        QCOMPARE(periodEnd(second.addMSecs(400)), second.addMSecs(999));
    }

    // Steps: "settle" (print-time answer in), "change" (an edit changed), "start" (a totals query goes out),
    // "ok N" / "fail N" (the answer to the N-th query). Expected after all steps: queries sent on changes,
    // which answers were applied, and whether printing is possible.
    void queryState_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("applied");  // one letter per answer: a applied, i ignored
        QTest::addColumn<bool>("canPrint");
        QTest::newRow("nothing yet") << QStringList{} << "" << false;
        QTest::newRow("changes before the period is settled do not query")
            << QStringList{"change", "change"} << "" << false;
        QTest::newRow("first totals in") << QStringList{"settle", "start", "ok 1"} << "a" << true;
        QTest::newRow("query out: no printing") << QStringList{"settle", "start", "ok 1", "change"} << "a" << false;
        QTest::newRow("stale answer after the latest")
            << QStringList{"settle", "start", "change", "ok 2", "ok 1"} << "ai" << true;
        QTest::newRow("stale answer before the latest")
            << QStringList{"settle", "start", "change", "ok 1", "ok 2"} << "ia" << true;
        QTest::newRow("stale answer does not release printing")
            << QStringList{"settle", "start", "change", "ok 1"} << "i" << false;
        QTest::newRow("failed latest: nothing of this period to print")
            << QStringList{"settle", "start", "ok 1", "change", "fail 2"} << "aa" << false;
        QTest::newRow("stale failure is not reported")
            << QStringList{"settle", "start", "change", "fail 1", "ok 2"} << "ia" << true;
    }
    void queryState() {
        QFETCH(QStringList, steps);
        QFETCH(QString, applied);
        QFETCH(bool, canPrint);
        QueryState state;
        state.waitForPeriod();
        QString seen;
        for (const QString& step : steps) {
            if (step == "settle") {
                state.periodSettled();
            } else if (step == "start") {
                state.startTotals();
            } else if (step == "change") {
                if (state.queryOnDateChange()) {
                    state.startTotals();
                }
            } else {
                const QStringList parts = step.split(' ');
                seen += state.finishTotals(parts.at(1).toInt(), parts.at(0) == "ok") ? 'a' : 'i';
            }
        }
        QCOMPARE(seen, applied);
        QCOMPARE(state.canPrint(), canPrint);
    }
};

QTEST_GUILESS_MAIN(TestShiftSummary)
#include "tst_shiftsummary.moc"
