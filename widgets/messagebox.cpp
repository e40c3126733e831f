#include "messagebox.h"

#include "app/logcategories.h"

#include <QAbstractButton>
#include <QMetaEnum>
#include <QPushButton>
#include <QPointer>
#include <QTimer>

namespace msgbox {
namespace {

QString shortened(const QString& text) {
    if (text.size() <= kMaxTextChars) {
        return text;
    }
    const int cut = text.at(kMaxTextChars - 1).isHighSurrogate() ? kMaxTextChars - 1 : kMaxTextChars;
    return text.left(cut) + QChar(0x2026);
}

// The application's answerer, when a test handed it one.
Answerer* answerer() {
    const QList<Answerer*> handed =
        qApp ? qApp->findChildren<Answerer*>(QString(), Qt::FindDirectChildrenOnly) : QList<Answerer*>();
    return handed.isEmpty() ? nullptr : handed.last();
}

const char* iconName(QMessageBox::Icon icon) {
    switch (icon) {
        case QMessageBox::Information:
            return "information";
        case QMessageBox::Warning:
            return "warning";
        case QMessageBox::Critical:
            return "critical";
        case QMessageBox::Question:
            return "question";
        case QMessageBox::NoIcon:
            break;
    }
    return "box";
}

// What the cashier saw and answered, for the operations log.
void logShown(QMessageBox::Icon icon, Title title, const QString& text) {
    qCInfo(lcUi).noquote() << "message box" << iconName(icon) << "[" + titleText(title) + "]" << shortened(text);
}
QMessageBox::StandardButton logAnswer(Title title, QMessageBox::StandardButton pressed) {
    const QMetaObject& meta = QMessageBox::staticMetaObject;
    const char* name = meta.enumerator(meta.indexOfEnumerator("StandardButtons")).valueToKey(pressed);
    qCInfo(lcUi).noquote() << "message box"
                           << "[" + titleText(title) + "]"
                           << "answered:" << (name ? name : "none");
    return pressed;
}

QMessageBox::StandardButton show(QWidget* parent, QMessageBox::Icon icon, Title title, const QString& text,
                                 QMessageBox::StandardButtons standard, QMessageBox::StandardButton defaultButton,
                                 const Buttons& labels = {},
                                 QMessageBox::StandardButtons clickOnly = QMessageBox::NoButton) {
    if (!labels.isEmpty()) {
        standard = QMessageBox::NoButton;
        for (const auto& b : labels) {
            standard |= b.first;
        }
    }
    logShown(icon, title, text);
    if (Answerer* a = answerer()) {
        return logAnswer(title, a->answer(Request{parent, icon, titleText(title), shortened(text), standard,
                                                  defaultButton, clickOnly}));
    }
    QMessageBox* box = create(parent, icon, title, text, standard);
    for (const auto& b : labels) {
        box->button(b.first)->setText(b.second);
    }
    if (defaultButton != QMessageBox::NoButton) {
        box->setDefaultButton(defaultButton);
    }
    const QList<QAbstractButton*> all = box->buttons();
    for (QAbstractButton* b : all) {
        auto* button = qobject_cast<QPushButton*>(b);
        const bool deliberate = clickOnly.testFlag(box->standardButton(b));
        if (!button || (!deliberate && (defaultButton != QMessageBox::NoButton || !clickOnly))) {
            continue;
        }
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        button->setDefault(false);
        if (deliberate) {
            button->setEnabled(false);
            QTimer::singleShot(kDeliberateMs, button, [button] { button->setEnabled(true); });
        }
    }
    // Raised and given the keyboard once it is mapped, so a stay-on-top window cannot cover it.
    QTimer::singleShot(0, box, [box] {
        box->raise();
        box->activateWindow();
    });
    // The box's window may go while it waits (the box with it).
    const QPointer<QMessageBox> alive(box);
    box->exec();
    if (!alive) {
        return logAnswer(title, QMessageBox::NoButton);
    }
    const auto pressed = box->standardButton(box->clickedButton());
    delete box;
    return logAnswer(title, pressed);
}

}  // namespace

QString titleText(Title title) {
    switch (title) {
        case Title::Tip:
            return QStringLiteral("温馨提示");
        case Title::Info:
            return QStringLiteral("提示信息");
        case Title::Error:
            return QStringLiteral("错误提示");
        case Title::Action:
            return QStringLiteral("操作提示");
        case Title::VersionCheck:
            return QStringLiteral("版本检测");
        case Title::VersionUpdate:
            return QStringLiteral("版本更新");
        case Title::Quit:
            return QStringLiteral("退出程序");
    }
    return QString();
}

Buttons yesNo() {
    return {{QMessageBox::Yes, QStringLiteral("是(&Y)")}, {QMessageBox::No, QStringLiteral("否(&N)")}};
}

QString styleSheet() {
    // Set on the box itself, so it wins over whatever the parent window's sheet says for labels and buttons.
    return QStringLiteral(
        "QMessageBox{background-color:#f5f5f5; background-image:none; border-image:none;}"
        "QMessageBox QWidget{background-color:transparent; background-image:none; border-image:none; color:#1a1a1a;}"
        "QMessageBox QLabel{color:#1a1a1a; font-size:14px;}"
        "QMessageBox QPushButton{color:#1a1a1a; background-color:#e4e4e4; border:1px solid #8c8c8c;"
        " border-radius:3px; padding:4px 16px; min-width:64px; font-size:13px;}"
        "QMessageBox QPushButton:focus{border:1px solid #1565c0;}"
        "QMessageBox QPushButton:pressed{background-color:#cfcfcf;}"
        "QMessageBox QPushButton:disabled{color:#a0a0a0; background-color:#efefef; border:1px solid #c8c8c8;}");
}

QMessageBox* create(QWidget* parent, QMessageBox::Icon icon, Title title, const QString& text,
                    QMessageBox::StandardButtons buttons) {
    auto* box = new QMessageBox(icon, titleText(title), QString(), buttons, parent);
    // Boxes carry gateway texts: never markup (a link or an image in them would be followed), never a layout of
    // hundreds of kilobytes.
    box->setTextFormat(Qt::PlainText);
    box->setText(shortened(text));
    box->setStyleSheet(styleSheet());
    // Modality first: QMessageBox re-parents itself there, which resets the window flags.
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowFlags(box->windowFlags() | Qt::WindowStaysOnTopHint);
    return box;
}

QMessageBox::StandardButton information(QWidget* parent, Title title, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) {
    return show(parent, QMessageBox::Information, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton warning(QWidget* parent, Title title, const QString& text,
                                    QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
    return show(parent, QMessageBox::Warning, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton critical(QWidget* parent, Title title, const QString& text,
                                     QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
    return show(parent, QMessageBox::Critical, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton question(QWidget* parent, Title title, const QString& text,
                                     QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
    return show(parent, QMessageBox::Question, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton ask(QWidget* parent, QMessageBox::Icon icon, Title title, const QString& text,
                                const Buttons& buttons, QMessageBox::StandardButton defaultButton,
                                QMessageBox::StandardButtons clickOnly) {
    return show(parent, icon, title, text, QMessageBox::NoButton, defaultButton, buttons, clickOnly);
}

Answerer::Answerer(QCoreApplication* application) : QObject(application) {}

}  // namespace msgbox
