#pragma once

#include "requestbody.h"

#include <QString>

// The body of every gateway action, fields in the gateway's order. Screens call these and post the result.
namespace requests {

RequestBody login(const QString& uname, const QString& pword);
RequestBody update();
RequestBody listShop(const QString& token);
// `moneyFen` is the amount charged in whole fen.
RequestBody scanPay(const QString& authCode, qint64 moneyFen, const QString& uid, const QString& shopid);
// `ticket` is the selection string "id:count,id:count,".
RequestBody ticketScanPay(const QString& ticket, const QString& authCode, qint64 moneyFen, const QString& uid,
                          const QString& shopid);
RequestBody doPrint(const QString& token, const QString& orderNo);
RequestBody listPay(const QString& token, int page, const QString& tradeNo, const QString& startDate,
                    const QString& endDate, const QString& shopid, const QString& cardNo);
RequestBody printTime(const QString& token);
RequestBody listSumTicket(const QString& token, qint64 time1, qint64 time2);
RequestBody logPrint(const QString& token, qint64 time1, qint64 time2);
RequestBody refund(const QString& token, qint64 refundFen, const QString& tradeNo, const QString& cardNos,
                   const QString& pwd);
RequestBody cards(const QString& token, const QString& orderNo);
RequestBody editPassword(const QString& token, const QString& uname, const QString& pword, const QString& rePassword);
RequestBody editRefundPassword1(const QString& token, const QString& uname, const QString& pword,
                                const QString& rePassword, const QString& oldPwd);
RequestBody getQuestion(const QString& token);
RequestBody setRefundPassword(const QString& token, const QString& uname, const QString& pword,
                              const QString& rePassword, const QString& answer, const QString& question);
RequestBody editRefundPassword(const QString& token, const QString& uname, const QString& pword,
                               const QString& rePassword, const QString& answer, const QString& question);

}  // namespace requests
