#include "windowstyle.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QTextDocument>
#include <QScreen>
#include <QStyle>
#include <QVariant>
#include <QWidget>

namespace windowstyle {

void applyApplicationStyle() {
    QFile sheet(QStringLiteral(":/qss/cashier.qss"));
    if (!sheet.open(QIODevice::ReadOnly)) {
        // Only an executable built without the resources gets here; its windows work, plainly drawn.
        qWarning("the shared style sheet is not compiled in");
        return;
    }
    qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));
}

void setLookState(QWidget* widget, const char* name, bool on) {
    // No property is the same look as false: a widget never marked is left as it is (polished again, a label made in
    // code loses the font it has from its window).
    if (widget->property(name).toBool() == on) {
        return;
    }
    widget->setProperty(name, on);
    // The style reads the properties when it polishes a widget, not when they change; one not shown yet is polished
    // with the property when it is.
    if (widget->testAttribute(Qt::WA_WState_Polished)) {
        widget->style()->unpolish(widget);
        widget->style()->polish(widget);
        widget->update();
    }
}

QIcon trayIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        icon.addFile(QStringLiteral(":/icon/cashier-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

void centreOnScreen(QWidget* window) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->geometry();
        window->move((desk.width() - window->width()) / 2, (desk.height() - window->height()) / 2);
    }
}

void plainLabels(std::initializer_list<QLabel*> labels) {
    for (QLabel* label : labels) {
        label->setTextFormat(Qt::PlainText);
    }
}

QString plainToolTip(const QString& text) {
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap);
}

}  // namespace windowstyle
