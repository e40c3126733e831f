#include "requests.h"

#include "actions.h"

namespace requests {

RequestBody login(const QString& uname, const QString& pword) {
    RequestBody b(actions::kLogin);
    b.add("ticket", QStringLiteral("1")).add("uname", uname).addLast("pword", pword);
    return b;
}

RequestBody update() {
    RequestBody b(actions::kUpdate);
    b.addLast("system", QStringLiteral("pc"));
    return b;
}

RequestBody listShop(const QString& token) {
    RequestBody b(actions::kListShop);
    b.addLast("token", token);
    return b;
}

namespace {
RequestBody& chargeTail(RequestBody& b, const QString& authCode, qint64 moneyFen, const QString& uid,
                        const QString& shopid) {
    return b.add("auth_code", authCode).add("money", moneyFen).add("uid", uid).add("shopid", shopid);
}
}  // namespace

RequestBody scanPay(const QString& authCode, qint64 moneyFen, const QString& uid, const QString& shopid) {
    RequestBody b(actions::kScanPay);
    chargeTail(b, authCode, moneyFen, uid, shopid);
    return b;
}

RequestBody ticketScanPay(const QString& ticket, const QString& authCode, qint64 moneyFen, const QString& uid,
                          const QString& shopid) {
    RequestBody b(actions::kTicketScanPay);
    b.add("ticket", ticket);
    chargeTail(b, authCode, moneyFen, uid, shopid);
    return b;
}

RequestBody doPrint(const QString& token, const QString& orderNo) {
    RequestBody b(actions::kDoPrint);
    b.add("token", token).add("no", orderNo);
    return b;
}

RequestBody listPay(const QString& token, int page, const QString& tradeNo, const QString& startDate,
                    const QString& endDate, const QString& shopid, const QString& cardNo) {
    RequestBody b(actions::kListPay);
    b.add("token", token)
        .add("page_num", 20)
        .add("p", page)
        .add("ord", QStringLiteral("desc"))
        .add("tradeno", tradeNo)
        .add("start_date", startDate)
        .add("end_date", endDate)
        .add("shopid", shopid)
        .addLast("cardno", cardNo);
    return b;
}

RequestBody printTime(const QString& token) {
    RequestBody b(actions::kPrintTime);
    b.add("token", token);
    return b;
}

RequestBody listSumTicket(const QString& token, qint64 time1, qint64 time2) {
    RequestBody b(actions::kListSumTicket);
    b.add("token", token).add("time1", time1).add("time2", time2);
    return b;
}

RequestBody logPrint(const QString& token, qint64 time1, qint64 time2) {
    RequestBody b(actions::kLogPrint);
    b.add("token", token).add("time1", time1).add("time2", time2);
    return b;
}

RequestBody refund(const QString& token, qint64 refundFen, const QString& tradeNo, const QString& cardNos,
                   const QString& pwd) {
    RequestBody b(actions::kRefund);
    b.add("token", token).add("refundmoney", refundFen).add("tradeno", tradeNo).add("cardno", cardNos).add("pwd", pwd);
    return b;
}

RequestBody cards(const QString& token, const QString& orderNo) {
    RequestBody b(actions::kCards);
    b.add("token", token).add("no", orderNo);
    return b;
}

RequestBody editPassword(const QString& token, const QString& uname, const QString& pword, const QString& rePassword) {
    RequestBody b(actions::kEditPassword);
    b.add("token", token).add("uname", uname).add("pword", pword).add("re_password", rePassword);
    return b;
}

RequestBody editRefundPassword1(const QString& token, const QString& uname, const QString& pword,
                                const QString& rePassword, const QString& oldPwd) {
    RequestBody b(actions::kEditRefundPassword1);
    b.add("token", token).add("uname", uname).add("pword", pword).add("re_password", rePassword).add("oldpwd", oldPwd);
    return b;
}

RequestBody getQuestion(const QString& token) {
    RequestBody b(actions::kGetQuestion);
    b.add("token", token);
    return b;
}

namespace {
RequestBody questionBody(const char* action, const QString& token, const QString& uname, const QString& pword,
                         const QString& rePassword, const QString& answer, const QString& question) {
    RequestBody b(action);
    b.add("token", token)
        .add("uname", uname)
        .add("pword", pword)
        .add("re_password", rePassword)
        .add("answer", answer)
        .add("question", question);
    return b;
}
}  // namespace

RequestBody setRefundPassword(const QString& token, const QString& uname, const QString& pword,
                              const QString& rePassword, const QString& answer, const QString& question) {
    return questionBody(actions::kSetRefundPassword, token, uname, pword, rePassword, answer, question);
}

RequestBody editRefundPassword(const QString& token, const QString& uname, const QString& pword,
                               const QString& rePassword, const QString& answer, const QString& question) {
    return questionBody(actions::kEditRefundPassword, token, uname, pword, rePassword, answer, question);
}

}  // namespace requests
