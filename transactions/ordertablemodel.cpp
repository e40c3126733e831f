#include "transactions/ordertablemodel.h"

#include "transactions/querylogic.h"
#include "widgets/windowstyle.h"

OrderTableModel::OrderTableModel(bool refundColumn, QObject* parent)
    : QAbstractTableModel(parent), m_refundColumn(refundColumn) {}

void OrderTableModel::setOrders(const QList<Order>& orders) {
    beginResetModel();
    m_orders = orders;
    endResetModel();
}

int OrderTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : qMax(kDesignedRows, m_orders.size());
}

int OrderTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kTextColumns + (m_refundColumn ? 2 : 1);
}

QVariant OrderTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_orders.size()) {
        return QVariant();
    }
    if (role == Qt::TextAlignmentRole) {
        return int(Qt::AlignCenter);
    }
    if (index.column() >= kTextColumns || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
        return QVariant();
    }
    const transactions::RowCells cells = transactions::rowCells(m_orders.at(index.row()));
    const QString texts[kTextColumns] = {cells.tradeNo, cells.money,  cells.refund,
                                         cells.channel, cells.status, cells.payDate};
    const QString& text = texts[index.column()];
    // Narrow columns cut long texts (a status such as 已退款,交易关闭); the tip shows them whole.
    return role == Qt::DisplayRole ? text : windowstyle::plainToolTip(text);
}

QVariant OrderTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (section == refundColumn()) {
        return QStringLiteral("退款");
    }
    if (section == reprintColumn()) {
        return QStringLiteral("重打印");
    }
    static const char* const kTitles[kTextColumns] = {"系统单号", "交易金额", "退款金额",
                                                      "支付方式", "交易状态", "交易时间"};
    return section >= 0 && section < kTextColumns ? QString::fromUtf8(kTitles[section]) : QVariant();
}
