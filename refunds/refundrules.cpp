#include "refunds/refundrules.h"

#include "app/money.h"

#include <algorithm>

namespace refundrules {

namespace {
constexpr int kVisibleRowsGrowth = 90;  // three rows beyond the first; a fourth and more scroll
}  // namespace

AmountCheck checkRefundAmount(const QString& typed, const QString& orderMoneyFen) {
    AmountCheck check;
    const std::optional<qint64> fen = money::yuanTextToFenExact(typed);
    if (!fen || *fen <= 0) {
        check.message = QStringLiteral("请输入正确的退款金额：大于0，最多两位小数");
        return check;
    }
    if (*fen > money::fenFromText(orderMoneyFen)) {
        check.message = QStringLiteral("退款金额不能大于订单金额哦");
        return check;
    }
    check.ok = true;
    check.fen = *fen;
    return check;
}

QString itemBoxText(const Item& item) {
    return item.cardno + QLatin1Char('(') + item.price + QStringLiteral("元)");
}

QString cardNoField(const QStringList& checkedTexts) {
    QString field;
    for (const QString& text : checkedTexts) {
        field += text + QLatin1Char(',');
    }
    return field;
}

int itemBoxY(int index) {
    return kItemRowHeight * index + 5;
}

ItemListLayout itemListLayout(int boxes) {
    ItemListLayout layout;
    if (boxes <= 0) {
        return layout;
    }
    const int lastRowY = kItemRowHeight * (boxes - 1);
    layout.grow = std::min(lastRowY, kVisibleRowsGrowth);
    // Exactly the rows: up to four fit the list without a scroll bar.
    layout.contentHeight = kItemRowHeight * boxes;
    layout.listHeight = layout.grow + kItemRowHeight;
    return layout;
}

QString checkPasswordChange(const QString& oldPwd, const QString& pwd, const QString& pwd1) {
    if (oldPwd.size() < 6) {
        return QStringLiteral("请输入原密码,至少6位");
    }
    if (pwd.size() < 6) {
        return QStringLiteral("请输入新密码，至少6位");
    }
    if (pwd != pwd1) {
        return QStringLiteral("两次密码不一致");
    }
    return QString();
}

PasswordChoice choosePasswordAction(QuestionState state, const QString& question, const QString& answer,
                                    const QString& pwd, const QString& pwd1) {
    PasswordChoice choice;
    if (state == QuestionState::Pending) {
        choice.message = questionPendingMessage();
        return choice;
    }
    if (state == QuestionState::Failed) {
        choice.message = questionFailedMessage();
        return choice;
    }
    const bool reset = state == QuestionState::Stored;
    if (!reset && question.size() < 6) {
        choice.message = QStringLiteral("请输入问题,至少6位");
    } else if (answer.size() < 2) {
        choice.message = QStringLiteral("请输入答案,至少2位");
    } else if (pwd.size() < 6) {
        choice.message = QStringLiteral("请输入新密码，至少6位");
    } else if (pwd != pwd1) {
        choice.message = QStringLiteral("两次密码不一致");
    } else {
        choice.action = reset ? PasswordAction::Reset : PasswordAction::Set;
    }
    return choice;
}

QString questionPendingMessage() {
    return QStringLiteral("正在查询提示问题，请稍候再试");
}

QString questionFailedMessage() {
    return QStringLiteral("提示问题查询失败，请检查网络设置后重新打开本页");
}

QString networkFailedMessage() {
    return QStringLiteral("网络异常，没有收到网关的答复，请检查网络设置后重试");
}

QString changeMessage(const replies::Status& status) {
    if (status.ok()) {
        return QStringLiteral("操作成功");
    }
    return status.message.isEmpty() ? QStringLiteral("操作失败") : replies::shown(status.message);
}

}  // namespace refundrules
