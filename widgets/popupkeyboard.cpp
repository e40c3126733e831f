#include "popupkeyboard.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace popupkeyboard {

namespace {

// Another program (the window manager in the middle of a key binding, a panel) may hold the keyboard for a moment.
constexpr int kRetryMs = 50;
constexpr int kMaxRetries = 40;

const char* const kKeeperName = "popupkeyboard";

bool platformGrabs() {
    // Only X11 has a keyboard grab that another program can hold; elsewhere the popup's own handling is enough.
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

class Keeper : public QObject {
public:
    explicit Keeper(QWidget* popup) : QObject(popup), m_popup(popup) {
        setObjectName(QLatin1String(kKeeperName));
        popup->setWindowModality(Qt::NonModal);
        popup->installEventFilter(this);
        connect(qApp, &QGuiApplication::focusWindowChanged, this, &Keeper::onFocusWindowChanged);
        m_retry.setSingleShot(true);
        m_retry.setInterval(kRetryMs);
        connect(&m_retry, &QTimer::timeout, this, &Keeper::takeNow);
    }

    void takeNow() {
        if (!m_popup || !m_popup->isVisible()) {
            return;
        }
        m_popup->raise();
        QWindow* window = m_popup->windowHandle();
        if (!window || !platformGrabs()) {
            return;
        }
        if (window->setKeyboardGrabEnabled(true)) {
            m_grabbed = true;
            m_retries = 0;
        } else if (m_retries < kMaxRetries) {
            ++m_retries;
            m_retry.start();
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_popup) {
            switch (event->type()) {
                case QEvent::Show:
                    watchOwnerWindow();
                    m_retries = 0;
                    // After the show has finished: the popup's own grab is taken once it is mapped.
                    QTimer::singleShot(0, this, &Keeper::takeNow);
                    break;
                case QEvent::Hide:
                    m_retry.stop();
                    releaseGrab();
                    break;
                case QEvent::ParentChange:
                    watchOwnerWindow();
                    break;
                default:
                    break;
            }
        } else if (watched == m_ownerWindow && event->type() == QEvent::Expose) {
            // The main window mapped (or raised) after the popup: it may now cover it.
            QTimer::singleShot(0, this, &Keeper::takeNow);
        }
        return false;
    }

private:
    void onFocusWindowChanged(QWindow* focus) {
        if (m_popup && m_popup->isVisible() && focus && focus != m_popup->windowHandle()) {
            takeNow();
        }
    }

    // The popup has gone: the keyboard goes back, unless another popup of the application holds it now.
    void releaseGrab() {
        if (!m_grabbed) {
            return;
        }
        m_grabbed = false;
        QWindow* window = m_popup ? m_popup->windowHandle() : nullptr;
        if (window && !QApplication::activePopupWidget()) {
            window->setKeyboardGrabEnabled(false);
        }
    }

    void watchOwnerWindow() {
        QWindow* owner = nullptr;
        if (m_popup && m_popup->parentWidget()) {
            owner = m_popup->parentWidget()->window()->windowHandle();
        }
        if (owner == m_ownerWindow) {
            return;
        }
        if (m_ownerWindow) {
            m_ownerWindow->removeEventFilter(this);
        }
        m_ownerWindow = owner;
        if (owner) {
            owner->installEventFilter(this);
        }
    }

    QPointer<QWidget> m_popup;
    QPointer<QWindow> m_ownerWindow;
    QTimer m_retry;
    int m_retries = 0;
    bool m_grabbed = false;
};

Keeper* keeperOf(QWidget* popup) {
    return popup ? static_cast<Keeper*>(
                       popup->findChild<QObject*>(QLatin1String(kKeeperName), Qt::FindDirectChildrenOnly))
                 : nullptr;
}

}  // namespace

void keep(QWidget* popup) {
    if (popup && !keeperOf(popup)) {
        new Keeper(popup);
    }
}

void take(QWidget* popup) {
    if (Keeper* keeper = keeperOf(popup)) {
        keeper->takeNow();
    } else if (popup && popup->isVisible()) {
        popup->raise();
    }
}

}  // namespace popupkeyboard
