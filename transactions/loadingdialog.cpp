#include "transactions/loadingdialog.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QMovie>
#include <QPixmap>
#include <QPushButton>

LoadingDialog::LoadingDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("LoadingDialog"));
    resize(315, 110);
    setWindowOpacity(0.8);

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

    // Runs for the dialog's whole life, so every query of the page finds it turning. QMovie does not look for an @2x
    // copy as the images do: on a screen scaled 200% the dialog takes it itself and shows each frame at half its
    // pixels, so the spinner keeps its size and is sharp.
    const qreal ratio = devicePixelRatioF();
    m_movie = new QMovie(animationFile(ratio), QByteArray(), this);
    if (ratio > 1.0) {
        connect(m_movie, &QMovie::frameChanged, lblgif, [this] {
            QPixmap frame = m_movie->currentPixmap();
            frame.setDevicePixelRatio(2.0);
            lblgif->setPixmap(frame);
        });
    } else {
        lblgif->setMovie(m_movie);
    }
    m_movie->start();

    // Below the text, where the dialog has room; it shows up only once the query has taken a while.
    m_cancel = new QPushButton(QStringLiteral("取消查询"), this);
    m_cancel->setObjectName(QStringLiteral("btnCancelQuery"));
    m_cancel->setGeometry(130, 76, 151, 26);
    m_cancel->setFocusPolicy(Qt::NoFocus);
    m_cancel->hide();
    connect(m_cancel, &QPushButton::clicked, this, &LoadingDialog::cancelRequested);
    m_cancelTimer.setSingleShot(true);
    m_cancelTimer.setInterval(kCancelAfterMs);
    connect(&m_cancelTimer, &QTimer::timeout, m_cancel, &QWidget::show);
}

LoadingDialog::~LoadingDialog() = default;

QString LoadingDialog::animationFile(qreal devicePixelRatio) {
    return devicePixelRatio > 1.0 ? QStringLiteral(":/images/loading@2x.gif") : QStringLiteral(":/images/loading.gif");
}

void LoadingDialog::showEvent(QShowEvent* event) {
    // Each query gets its own wait before it may be given up.
    m_cancel->hide();
    m_cancelTimer.start();
    QDialog::showEvent(event);
}

void LoadingDialog::keyPressEvent(QKeyEvent* event) {
    // Escape gives the query up once that is offered; before, it does nothing (the dialog would only come back).
    if (event->key() == Qt::Key_Escape) {
        if (m_cancel->isVisible()) {
            emit cancelRequested();
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
