#include "widgets/printretry.h"

#include "widgets/messagebox.h"

namespace printretry {

bool askToPrintAgain(QWidget* parent, const receipts::PrintResult& failed) {
    return msgbox::ask(
               parent, QMessageBox::Warning, msgbox::Title::Info, receipts::printFailureText(failed),
               {{QMessageBox::Retry, QStringLiteral("重新打印")}, {QMessageBox::Cancel, QStringLiteral("取消")}},
               QMessageBox::Retry) == QMessageBox::Retry;
}

receipts::PrintResult printOfferingRetry(QWidget* parent, const std::function<receipts::PrintResult()>& print) {
    receipts::PrintResult result = print();
    while (!result.accepted() && askToPrintAgain(parent, result)) {
        result = print();
    }
    return result;
}

}  // namespace printretry
