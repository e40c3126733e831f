#include "transactions/checkdetaildialog.h"

#include "ui_CheckDetailDialog.h"

#include <QHeaderView>
#include <QTableWidgetItem>

CheckDetailDialog::CheckDetailDialog(const QList<reconcile::Finding>& findings, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::CheckDetailDialog>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint);
    QTableWidget* table = ui->tableDetail;
    table->verticalHeader()->setHidden(true);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setRowCount(findings.size());
    for (int row = 0; row < findings.size(); ++row) {
        const QStringList cells = reconcile::detailCells(findings.at(row));
        for (int col = 0; col < cells.size(); ++col) {
            // QTableWidgetItem text is never markup: order numbers come from the gateway.
            table->setItem(row, col, new QTableWidgetItem(cells.at(col)));
        }
    }
    table->setColumnWidth(0, 50);
    table->setColumnWidth(1, 200);
    table->setColumnWidth(2, 80);
    table->setColumnWidth(3, 80);
}

CheckDetailDialog::~CheckDetailDialog() = default;

void CheckDetailDialog::on_btnClose_clicked() {
    accept();
}
