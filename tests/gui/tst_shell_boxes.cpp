// Message boxes stay legible whatever style sheet their window carries: a box is drawn on each styled window and
// the pixels of its text are compared with its background.
#include "app/shown.h"
#include "collect/formcs.h"
#include "collect/selectshopdialog.h"
#include "refunds/refundsuredialog.h"
#include "settings/settingmain.h"
#include "shell/loginwidget.h"
#include "shell/mainwindow.h"
#include "testsupport.h"
#include "transactions/mytrade.h"
#include "widgets/messagebox.h"
#include "widgets/windowstyle.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QMap>
#include <QtTest>
#include <cmath>
#include <functional>
#include <memory>

using namespace testsupport;

namespace {

double luminance(QRgb c) {
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

// The contrast ratio between the label's background (its most common colour) and the pixel of its text that stands
// out from it the most.
double textContrast(const QImage& image) {
    QMap<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ++counts[image.pixel(x, y) | 0xff000000];
        }
    }
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    }
    const double lb = luminance(background);
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double l = luminance(it.key());
        best = qMax(best, (qMax(l, lb) + 0.05) / (qMin(l, lb) + 0.05));
    }
    return best;
}

}  // namespace

class TestShellBoxes : public QObject {
    Q_OBJECT

private slots:
    // The windows as the client draws them: with the shared style sheet.
    void initTestCase() { windowstyle::applyApplicationStyle(); }

    // A gateway string that looks like markup is shown as the characters it is made of, in a box and in a label.
    void gatewayMarkupShowsLiterally() {
        const QString msg = QStringLiteral(
            "<font color=green size=6>支付成功</font><img src=\"/tmp/x.png\">"
            "<a href=\"http://example.invalid\">详情</a>");
        testsupport::TempWorkDir dir;
        std::unique_ptr<QMessageBox> box(
            msgbox::create(nullptr, QMessageBox::Critical, msgbox::Title::Tip, display::shown(msg)));
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->text(), msg);
        auto* boxLabel = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(boxLabel);
        QCOMPARE(boxLabel->textFormat(), Qt::PlainText);

        // The refund dialog shows the listed payment channel as the gateway sent it.
        RefundSureDialog dialog(till(), nullptr, QStringLiteral("O1"), QStringLiteral("T1"), QStringLiteral("100"), msg,
                                {});
        auto* channel = dialog.findChild<QLabel*>(QStringLiteral("lbltype"));
        QCOMPARE(channel->textFormat(), Qt::PlainText);
        QCOMPARE(channel->text(), msg);
    }

    // The look-back's question before a charge: both answers move money (不是 sends it), so neither is given by a
    // scanner's trailing Return, a Space, or a letter already on its way; Esc only puts the question off.
    void lookBackQuestionTakesNoStrayKey_data() {
        QTest::addColumn<QString>("keys");  // in order; "+" waits until the answers have come on
        QTest::addColumn<int>("answer");
        QTest::newRow("Return, Space, Y at once, then Esc") << "\r y\x1b" << int(QMessageBox::Cancel);
        QTest::newRow("Y once on") << "+\ry" << int(QMessageBox::Yes);
        QTest::newRow("N once on") << "+ n" << int(QMessageBox::No);
    }

    void lookBackQuestionTakesNoStrayKey() {
        QFETCH(QString, keys);
        QFETCH(int, answer);
        QTimer::singleShot(0, [keys] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QTimer::singleShot(10000, box, &QMessageBox::reject);  // a key that failed must not hang the run
            for (const QChar k : keys) {
                if (k == QLatin1Char('+')) {
                    QVERIFY(QTest::qWaitFor([box] { return box->button(QMessageBox::No)->isEnabled(); }));
                    continue;
                }
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : box, k.toLatin1());
            }
        });
        const QMessageBox::StandardButton pressed =
            msgbox::ask(nullptr, QMessageBox::Question, msgbox::Title::Tip, QStringLiteral("这笔是不是本次收款？"),
                        {{QMessageBox::Yes, QStringLiteral("是本次收款(&Y)")},
                         {QMessageBox::No, QStringLiteral("不是(&N)")},
                         {QMessageBox::Cancel, QStringLiteral("稍后再定")}},
                        QMessageBox::NoButton, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(int(pressed), answer);
    }

    void textIsLegibleOnEveryStyledWindow_data() {
        QTest::addColumn<QString>("window");
        for (const char* w :
             {"login", "store dialog", "main window", "payment window", "settings hub", "shift summary"}) {
            QTest::newRow(w) << QString::fromLatin1(w);
        }
    }

    void textIsLegibleOnEveryStyledWindow() {
        QFETCH(QString, window);
        GatewayFixture fx;
        std::unique_ptr<QWidget> owner;
        if (window == QLatin1String("login")) {
            owner = std::make_unique<LoginWidget>(till());
        } else if (window == QLatin1String("store dialog")) {
            owner = std::make_unique<SelectShopDialog>(till().stores());
        } else if (window == QLatin1String("main window")) {
            owner = std::make_unique<MainWindow>(till());
        } else if (window == QLatin1String("payment window")) {
            owner = std::make_unique<FormCS>(till(), nullptr, QStringLiteral("12.50"));
        } else if (window == QLatin1String("settings hub")) {
            owner = std::make_unique<SettingMain>(till());
        } else {
            owner = std::make_unique<myTrade>(till());
        }
        // The payment window is a popup, which a modal box closes; its style sheet reaches the box all the same.
        if (window != QLatin1String("payment window")) {
            owner->show();
            QVERIFY(QTest::qWaitForWindowExposed(owner.get()));
        }

        std::unique_ptr<QMessageBox> box(msgbox::create(owner.get(), QMessageBox::Critical, msgbox::Title::Tip,
                                                        QStringLiteral("账号和密码不能为空")));
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        // Grabbed through the box, so the label is seen on the background it really sits on.
        const QImage shot = box->grab(QRect(label->mapTo(box.get(), QPoint()), label->size())).toImage();
        if (qEnvironmentVariableIsSet("CASHIER_SAVE_SHOTS")) {
            shot.save(QStringLiteral("/tmp/box-%1.png").arg(QTest::currentDataTag()).replace(' ', '-'));
            box->grab().save(QStringLiteral("/tmp/boxw-%1.png").arg(QTest::currentDataTag()).replace(' ', '-'));
        }
        const double contrast = textContrast(shot);
        // 4.5:1 is the usual floor for body text.
        QVERIFY2(contrast >= 4.5, qPrintable(QStringLiteral("contrast %1").arg(contrast)));
        QVERIFY(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }
};

QTEST_MAIN(TestShellBoxes)
#include "tst_shell_boxes.moc"
