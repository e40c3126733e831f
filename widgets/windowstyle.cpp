#include "windowstyle.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QTextDocument>
#include <QScreen>
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

QString imageButton(const QString& normal, const QString& pressed, const QString& extra) {
    return QStringLiteral(
               "QPushButton{border-image: url(:/images/%1);%3} "
               "QPushButton:pressed{border-image: url(:/images/%2);} "
               // The shared sheet's look of an image button that is off; the button's own sheet would hide it.
               "QPushButton:disabled{border-image: url(:/images/btn_disabled.png); color: #8A9096;}")
        .arg(normal, pressed, extra);
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
