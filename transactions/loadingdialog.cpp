#include "transactions/loadingdialog.h"

#include <QFont>
#include <QLabel>
#include <QMovie>

LoadingDialog::LoadingDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("LoadingDialog"));
    resize(315, 110);
    setWindowOpacity(0.8);
    setStyleSheet(QStringLiteral("background-color: rgb(255, 255, 255);"));

    lbl = new QLabel(this);
    lbl->setObjectName(QStringLiteral("lbl"));
    lbl->setGeometry(130, 20, 151, 51);
    QFont font(QStringLiteral("微软雅黑"), 14);
    font.setBold(true);
    lbl->setFont(font);
    lbl->setAlignment(Qt::AlignCenter);

    lblgif = new QLabel(this);
    lblgif->setObjectName(QStringLiteral("lblgif"));
    lblgif->setGeometry(80, 16, 61, 61);

    setWindowTitle(QStringLiteral("加载中"));
    lbl->setText(QStringLiteral("加载中请稍候"));
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);

    // Runs for the dialog's whole life, so every query of the page finds it turning.
    m_movie = new QMovie(QStringLiteral(":/images/loading.gif"), QByteArray(), this);
    lblgif->setMovie(m_movie);
    m_movie->start();
}

LoadingDialog::~LoadingDialog() = default;
