#pragma once

#include "app/records.h"

#include <QAbstractTableModel>
#include <QList>

// The query page's table: the transactions of the page on screen, one a row, in the columns 系统单号, 交易金额,
// 退款金额, 支付方式, 交易状态, 交易时间, then 退款 (with the refund function on) and 重打印, whose buttons the page
// places over their cells. The table keeps its designed rows while the page has fewer transactions.
class OrderTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kDesignedRows = 25;
    static constexpr int kTextColumns = 6;

    OrderTableModel(bool refundColumn, QObject* parent = nullptr);

    // The page's transactions, replacing the ones shown.
    void setOrders(const QList<Order>& orders);
    // The transaction of `row`; an empty one for a row without.
    Order order(int row) const { return m_orders.value(row); }
    int orderCount() const { return m_orders.size(); }
    // The columns of the row buttons: 退款 (-1 without the refund function) and 重打印.
    int refundColumn() const { return m_refundColumn ? kTextColumns : -1; }
    int reprintColumn() const { return columnCount() - 1; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    bool m_refundColumn = false;
    QList<Order> m_orders;
};
