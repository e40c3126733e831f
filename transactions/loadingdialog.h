#pragma once

#include <QDialog>

#include <QTimer>

class QLabel;
class QMovie;
class QPushButton;

// The small busy indicator the transaction page runs modally while a query is out, so nothing else can be started
// before the reply; the page closes it when the reply comes. A query that does not come back soon can be given up:
// after a moment the dialog offers 取消查询 (Escape does the same from then on), so a hung gateway does not keep the
// cashier from the next sale.
class LoadingDialog : public QDialog {
    Q_OBJECT

public:
    // How long a query runs before it may be cancelled.
    static constexpr int kCancelAfterMs = 2000;

    explicit LoadingDialog(QWidget* parent = nullptr);
    ~LoadingDialog() override;

    // The spinner for a screen of that device pixel ratio: the 200% copy above 1.
    static QString animationFile(qreal devicePixelRatio);

    QMovie* animation() const { return m_movie; }
    QPushButton* cancelButton() const { return m_cancel; }
    // Tests shorten the wait.
    void setCancelDelay(int ms) { m_cancelTimer.setInterval(ms); }

signals:
    // The cashier gave the query up; the owner drops it and closes the dialog.
    void cancelRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* lbl = nullptr;
    QLabel* lblgif = nullptr;
    QMovie* m_movie = nullptr;
    QPushButton* m_cancel = nullptr;
    QTimer m_cancelTimer;
};
