#include "floatwidget.h"

#include "widgets/draghelper.h"
#include "productinfo.h"
#include "traymenu.h"
#include "ui_FloatWidget.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

FloatWidget::FloatWidget(DataConfig& settings, QWidget* owner, SettingsOpener openSettings)
    : QWidget(owner),
      ui(std::make_unique<Ui::FloatWidget>()),
      m_owner(owner),
      m_settings(settings),
      m_openSettings(std::move(openSettings)) {
    ui->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().width() - 290, 50);
    }
    setToolTip(product::workToolTip());
    DragHelper::install(this);
}

FloatWidget::~FloatWidget() = default;

void FloatWidget::showWindow() {
    if (!m_owner) {
        return;
    }
    m_owner->showNormal();
    m_owner->raise();
    m_owner->activateWindow();
}

void FloatWidget::closeWindow() {
    if (m_owner) {
        m_owner->close();
    }
}

void FloatWidget::doSetting(SettingsPage type) {
    if (m_openSettings) {
        m_openSettings(type);
    }
}

void FloatWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        showWindow();
    }
}

void FloatWidget::contextMenuEvent(QContextMenuEvent* event) {
    // One menu for the icon's lifetime: a new menu per right click would pile up as children until exit.
    if (!m_menu) {
        m_menu = new TrayMenu(m_settings, this);
        connect(m_menu, &TrayMenu::showWindow, this, &FloatWidget::showWindow);
        connect(m_menu, &TrayMenu::quitWindow, this, &FloatWidget::closeWindow);
        connect(m_menu, &TrayMenu::doSetting, this, &FloatWidget::doSetting);
    }
    m_menu->popup(event->globalPos());
}
