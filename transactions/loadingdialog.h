#pragma once

#include <QDialog>

class QLabel;
class QMovie;

// The small busy indicator the transaction page runs modally while a query is out, so nothing else can be started
// before the reply; the page closes it when the reply comes.
class LoadingDialog : public QDialog {
    Q_OBJECT

public:
    explicit LoadingDialog(QWidget* parent = nullptr);
    ~LoadingDialog() override;

    QMovie* animation() const { return m_movie; }

private:
    QLabel* lbl = nullptr;
    QLabel* lblgif = nullptr;
    QMovie* m_movie = nullptr;
};
