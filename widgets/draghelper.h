#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

// Left-button dragging for frameless windows: the press records the cursor's screen position, each move with the
// button held shifts the window by the cursor's movement, the release ends the drag. Mouse events that a child
// widget ignores (labels, frames, the background) reach the window and so drag it too.
class DragHelper : public QObject {
    Q_OBJECT
public:
    // Installs a helper on `window`; the helper is a child of the window and goes away with it.
    static DragHelper* install(QWidget* window);

    bool isDragging() const { return m_pressed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit DragHelper(QWidget* window);

    QWidget* m_window;
    bool m_pressed = false;
    QPoint m_lastPos;
};
