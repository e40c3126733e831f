// The sandbox gateway's account actions: sign-in, the version offer, the stores, and the login and refund passwords.
#include "gateway.h"

#include "gatewayshared.h"

#include <QJsonArray>
#include <QString>

namespace sandbox {

using namespace detail;

Gateway::Reply Gateway::login(const Form& f) {
    const std::string uname = need(f, "uname");
    const std::string pword = need(f, "pword");
    auto st = db_->prepare("SELECT id, pword_hash, rname, company FROM accounts WHERE uname = ?");
    st.bindAll(uname);
    if (!st.step() || !verify(st.text(1), pword)) {
        return fail(kRefused, "账号或密码错误");
    }
    const int64_t id = st.integer(0);
    const std::string token = newToken();
    db_->prepare("INSERT INTO tokens(token, account_id, created) VALUES (?, ?, ?)").bindAll(token, id, now()).exec();

    QJsonArray tickets;
    auto tt = db_->prepare(
        "SELECT t.id, t.shop_id, t.price, t.name, t.status FROM ticket_types t JOIN shops s ON s.id = t.shop_id "
        "WHERE s.account_id = ? ORDER BY t.id");
    tt.bindAll(id);
    while (tt.step()) {
        tickets.append(QJsonObject{{"id", QString::number(tt.integer(0))},
                                   {"shopid", QString::number(tt.integer(1))},
                                   {"price", q(yuanText(tt.integer(2)))},
                                   {"name", q(tt.text(3))},
                                   {"status", QString::number(tt.integer(4))}});
    }
    QJsonObject content{{"code", 1},
                        {"msg", QStringLiteral("登录成功")},
                        {"token", q(token)},
                        {"id", QString::number(id)},
                        {"uname", q(uname)},
                        {"rname", q(st.text(2))},
                        {"company", q(st.text(3))},
                        {"ticket", tickets}};
    return ok(content, QStringLiteral("登录成功"));
}

Gateway::Reply Gateway::update(const Form& f) {
    const std::string system = need(f, "system");
    auto st = db_->prepare("SELECT version_code FROM versions WHERE system = ?");
    st.bindAll(system);
    if (!st.step()) {
        return ok(QJsonObject{{"code", 0}, {"msg", QStringLiteral("没有版本信息")}, {"version_code", ""}});
    }
    return ok(QJsonObject{{"code", 1}, {"version_code", q(st.text(0))}});
}

Gateway::Reply Gateway::listShop(const Form&, const Account& a) {
    QJsonArray shops;
    auto st = db_->prepare("SELECT id, main_name, branch_name FROM shops WHERE account_id = ? ORDER BY id");
    st.bindAll(a.id);
    while (st.step()) {
        shops.append(QJsonObject{
            {"shopid", QString::number(st.integer(0))}, {"main_name", q(st.text(1))}, {"branch_name", q(st.text(2))}});
    }
    return ok(QJsonObject{{"code", 1}, {"listshop", shops}});
}

Gateway::Reply Gateway::editPassword(const Form& f, const Account& a) {
    const std::string uname = need(f, "uname");
    const std::string pword = need(f, "pword");
    const std::string again = need(f, "re_password");
    if (uname != a.uname) {
        return fail(kRefused, "账号与登录账号不一致");
    }
    if (pword != again) {
        return fail(kRefused, "两次密码不一致");
    }
    if (pword.size() < 6) {
        return fail(kRefused, "密码至少6位");
    }
    // The login window only lets letters and digits through; any other password could never be typed there.
    if (!lettersAndDigits(pword)) {
        return fail(kRefused, "密码只能包含字母和数字");
    }
    db_->prepare("UPDATE accounts SET pword_hash = ? WHERE id = ?").bindAll(digest(pword), a.id).exec();
    return ok(QJsonObject{{"code", 1}, {"msg", QStringLiteral("修改成功")}});
}

namespace {
// Checks shared by the three refund password actions; empty when the new password is acceptable.
std::string newRefundPasswordProblem(const std::string& pword, const std::string& again) {
    if (pword != again) {
        return "两次密码不一致";
    }
    if (charCount(pword) < 6) {
        return "退款密码至少6位";
    }
    return {};
}

QJsonObject accepted() {
    return ok(QJsonObject{{"code", 1}, {"respType", "Success"}, {"msg", QStringLiteral("操作成功")}});
}

// Where a change ends that replaces only the refund password: check the new one, store its digest.
QJsonObject replaceRefundPassword(Database& db, int64_t accountId, const std::string& pword, const std::string& again) {
    if (auto problem = newRefundPasswordProblem(pword, again); !problem.empty()) {
        return fail(kRefused, problem);
    }
    db.prepare("UPDATE accounts SET refund_hash = ? WHERE id = ?").bindAll(digest(pword), accountId).exec();
    return accepted();
}
}  // namespace

Gateway::Reply Gateway::editRefundPassword1(const Form& f, const Account& a) {
    const std::string uname = need(f, "uname");
    const std::string pword = need(f, "pword");
    const std::string again = need(f, "re_password");
    const std::string old = need(f, "oldpwd");
    if (uname != a.uname) {
        return fail(kRefused, "账号与登录账号不一致");
    }
    const std::string refundHash = accountText(*db_, a.id, "refund_hash");
    if (refundHash.empty()) {
        return fail(kRefused, "尚未设置退款密码，请先设置");
    }
    if (!verify(refundHash, old)) {
        return fail(kRefused, "原退款密码错误");
    }
    return replaceRefundPassword(*db_, a.id, pword, again);
}

Gateway::Reply Gateway::getQuestion(const Form&, const Account& a) {
    return ok(QJsonObject{{"code", 1}, {"refundquestion", q(accountText(*db_, a.id, "question"))}});
}

Gateway::Reply Gateway::setRefundPassword(const Form& f, const Account& a) {
    const std::string uname = need(f, "uname");
    const std::string pword = need(f, "pword");
    const std::string again = need(f, "re_password");
    const std::string answer = need(f, "answer");
    const std::string question = need(f, "question");
    if (uname != a.uname) {
        return fail(kRefused, "账号与登录账号不一致");
    }
    if (!accountText(*db_, a.id, "question").empty()) {
        return fail(kRefused, "已设置密保问题，请通过密保问题重置退款密码");
    }
    if (charCount(question) < 6) {
        return fail(kRefused, "密保问题至少6位");
    }
    if (charCount(answer) < 2) {
        return fail(kRefused, "密保答案至少2位");
    }
    if (auto problem = newRefundPasswordProblem(pword, again); !problem.empty()) {
        return fail(kRefused, problem);
    }
    db_->prepare("UPDATE accounts SET refund_hash = ?, question = ?, answer_hash = ? WHERE id = ?")
        .bindAll(digest(pword), question, digest(answer), a.id)
        .exec();
    return accepted();
}

Gateway::Reply Gateway::editRefundPassword(const Form& f, const Account& a) {
    const std::string uname = need(f, "uname");
    const std::string pword = need(f, "pword");
    const std::string again = need(f, "re_password");
    const std::string answer = need(f, "answer");
    const std::string question = need(f, "question");
    if (uname != a.uname) {
        return fail(kRefused, "账号与登录账号不一致");
    }
    auto st = db_->prepare("SELECT question, answer_hash FROM accounts WHERE id = ?");
    st.bindAll(a.id);
    st.step();
    if (st.text(0).empty()) {
        return fail(kRefused, "尚未设置密保问题");
    }
    if (question != st.text(0)) {
        return fail(kRefused, "密保问题不匹配");
    }
    if (!verify(st.text(1), answer)) {
        return fail(kRefused, "密保答案错误");
    }
    return replaceRefundPassword(*db_, a.id, pword, again);
}

void Gateway::setVersion(const std::string& system, const std::string& versionCode) {
    std::lock_guard lock(mutex_);
    db_->prepare("INSERT OR REPLACE INTO versions(system, version_code) VALUES (?, ?)")
        .bindAll(system, versionCode)
        .exec();
}

}  // namespace sandbox
