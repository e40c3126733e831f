#include "draghelper.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

DragHelper* DragHelper::install(QWidget* window) {
    return new DragHelper(window);
}

DragHelper::DragHelper(QWidget* window) : QObject(window), m_window(window) {
    window->installEventFilter(this);
}

bool DragHelper::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window) {
        return false;
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() == Qt::LeftButton) {
                m_pressed = true;
                m_lastPos = e->globalPos();
            }
            break;
        }
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (m_pressed && (e->buttons() & Qt::LeftButton)) {
                const QPoint now = e->globalPos();
                m_window->move(m_window->pos() + (now - m_lastPos));
                m_lastPos = now;
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() == Qt::LeftButton) {
                m_pressed = false;
            }
            break;
        }
        case QEvent::Hide:
            // A window hidden mid-drag must not jump on the next move after it comes back.
            m_pressed = false;
            break;
        default:
            break;
    }
    return false;
}
