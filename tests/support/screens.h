#pragma once

// Helpers for the tests of the sale screens and of anything that prints. Header-only: a test that includes it
// already links the collect and receipt libraries, and the others need not.

#include "collect/formcs.h"
#include "collect/formtradeinfo.h"
#include "collect/ticketctl.h"
#include "collect/ticketform.h"
#include "payments/chargecontroller.h"
#include "receipts/printhtmlreceipt.h"
#include "testsupport.h"

#include <QApplication>
#include <QPointer>
#include <QStringList>

namespace testsupport {

// The result windows on screen (a sale completed), and closing them.
inline QList<FormTradeInfo*> resultWindows() {
    return visibleTopLevels<FormTradeInfo>();
}
inline void closeResultWindows() {
    closeTopLevels<FormTradeInfo>();
}

// Why the receipt did not print, as the result window tells it (without the break hints in the printer's name);
// empty while no such notice is shown.
inline QString printFailureText(const FormTradeInfo& info) {
    const auto* notice = info.findChild<QLabel*>(QStringLiteral("lblPrintFailed"));
    return notice && notice->isVisibleTo(&info) ? notice->text().remove(QChar(0x200B)) : QString();
}

// Ends what a sale test left behind: result windows, and payment windows that outlived their page (one still
// checking keeps asking the gateway and holds the charge lock). Run after each test function, so that no reply or
// timer of one reaches the next. Returns how many payment windows were left.
inline int endSaleWindows() {
    closeResultWindows();
    QList<QPointer<FormCS>> left;
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget* w : widgets) {
        if (auto* cs = qobject_cast<FormCS*>(w)) {
            left.append(cs);
        }
    }
    for (const QPointer<FormCS>& cs : left) {
        delete cs.data();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return left.size();
}

// On a ticket page of at least two kinds: two tickets of the first kind and one of the second, then "扫 码 收 款".
// The payment window it opened (null when none did).
inline FormCS* sellTwoAndOne(TicketForm& page) {
    page.lineAt(0)->on_jia_clicked();
    page.lineAt(0)->on_jia_clicked();
    page.lineAt(1)->on_jia_clicked();
    page.on_sk_btn_clicked();
    return page.paymentWindow();
}

// Takes what would have gone to the printer while it lives.
struct ReceiptCatcher {
    QStringList html;
    ReceiptCatcher() {
        till().receipts().setSink([this](const QString& h) { html.append(h); });
    }
    ~ReceiptCatcher() { till().receipts().setSink({}); }
    ReceiptCatcher(const ReceiptCatcher&) = delete;
    ReceiptCatcher& operator=(const ReceiptCatcher&) = delete;
};

}  // namespace testsupport
