#include "settings/passwordrules.h"

#include "app/shown.h"
namespace passwordrules {

QString loginChangeProblem(bool currentPasswordMatches, const QString& newPwd, const QString& again) {
    if (!currentPasswordMatches) {
        return QStringLiteral("请输入正确的原密码");
    }
    if (newPwd.size() < kLoginMinLength) {
        return QStringLiteral("请输入新密码，至少6位");
    }
    if (newPwd != again) {
        return QStringLiteral("两次密码不一致");
    }
    return QString();
}

QString refundChangeProblem(const QString& oldPwd, const QString& pwd, const QString& pwd1) {
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
    return status.message.isEmpty() ? QStringLiteral("操作失败") : display::shown(status.message);
}

}  // namespace passwordrules
