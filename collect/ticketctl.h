#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class TicketCtl;
}

// One ticket line of the ticket page: the kind's name and price and a count set with "-", "+" or by typing.
class TicketCtl : public QWidget {
    Q_OBJECT

public:
    TicketCtl(QWidget* parent, const QString& name, qint64 priceFen);
    ~TicketCtl() override;

    int count() const { return m_count; }
    qint64 priceFen() const { return m_priceFen; }
    // Back to 0 without telling the page (it resets its total itself).
    void reset();

signals:
    void clicked();

public slots:
    void on_jian_clicked();
    void on_jia_clicked();
    void on_num_textEdited(const QString& arg1);

private:
    std::unique_ptr<Ui::TicketCtl> ui;
    int m_count = 0;
    qint64 m_priceFen = 0;
};
