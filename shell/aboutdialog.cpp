#include "aboutdialog.h"

#include "widgets/draghelper.h"
#include "productinfo.h"
#include "ui_AboutDialog.h"

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::AboutDialog>()) {
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("关于我们"));
    setWindowFlags(Qt::Tool | Qt::X11BypassWindowManagerHint | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_StyledBackground);
    ui->label->setText(product::name() + QStringLiteral(" PC端"));
    ui->label_2->setText(QStringLiteral("版本 ") + product::version());
    // The window manager draws no frame around a bypassing window, so the box brings its own way out.
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::accept);
    DragHelper::install(this);
}

AboutDialog::~AboutDialog() = default;
