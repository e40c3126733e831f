// The readers of the actions that move no money.
#include "replies.h"

#include "app/money.h"

#include <QJsonArray>

namespace replies {

namespace {

// The verdict of a reply that never became an envelope.
Status notEnvelope(const gateway::Reply& reply) {
    Status s;
    s.transport = reply.kind;
    return s;
}

Status verdict(const gateway::Reply& reply, Verdict v, const QString& message = QString()) {
    Status s;
    s.verdict = v;
    s.message = message;
    s.transport = reply.kind;
    return s;
}

template <class T>
Read<T> answer(Status status, T value = T{}) {
    Read<T> r;
    r.status = std::move(status);
    if (r.status.ok()) {
        r.value = std::move(value);
    }
    return r;
}

// A refusal with the content's "msg" when it has one; unusable otherwise.
Status refusedOrUnusable(const gateway::Reply& reply, const QJsonObject& content) {
    const QString msg = text(content, "msg");
    return msg.trimmed().isEmpty() ? verdict(reply, Verdict::Unusable) : verdict(reply, Verdict::Refused, msg);
}

// A whole JSON number only (digits in text are not taken).
std::optional<int> number(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).isDouble() ? integer(o, key) : std::nullopt;
}

// "code" as a number or as digits; -1 for a "code" that is neither; nullopt when absent.
std::optional<int> anyCode(const QJsonObject& o) {
    if (!o.contains(QLatin1String("code"))) {
        return std::nullopt;
    }
    return integer(o, "code").value_or(-1);
}

// The refusal rule of the query actions: the envelope's "code" is not 1, or the content's "code" is 0.
std::optional<QString> queryRefusal(const QJsonObject& root, const QJsonObject& content) {
    const std::optional<int> top = anyCode(root);
    const std::optional<int> inner = anyCode(content);
    if (!((top && *top != 1) || (inner && *inner == 0))) {
        return std::nullopt;
    }
    QString msg = text(content, "msg");
    if (msg.isEmpty()) {
        msg = text(root, "msg");
    }
    if (msg.isEmpty()) {
        msg = QStringLiteral("数据查询失败(错误码 %1)").arg(top.value_or(inner.value_or(0)));
    }
    return msg;
}

QJsonObject contentOf(const gateway::Reply& reply) {
    return reply.root.value(QLatin1String("content")).toObject();
}

QJsonArray arrayOf(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toArray();
}

// A whole number sent as digits in text (ticket ids and states); 0 otherwise.
int digitsOrZero(const QJsonObject& o, const char* key) {
    return integer(o, key).value_or(0);
}

}  // namespace

Read<Login> login(const gateway::Reply& reply) {
    if (!reply.ok()) {
        return answer<Login>(notEnvelope(reply));
    }
    const QJsonObject content = contentOf(reply);
    if (number(content, "code") != 1) {
        return answer<Login>(refusedOrUnusable(reply, content));
    }
    Login l;
    l.info.token = text(content, "token");
    // A session without a token could do nothing but fail later, in a window with no way back to this one.
    if (l.info.token.trimmed().isEmpty()) {
        return answer<Login>(verdict(reply, Verdict::Unusable));
    }
    l.info.id = text(content, "id");
    l.info.uname = text(content, "uname");
    l.info.rname = text(content, "rname");
    l.info.company = text(content, "company");
    for (const QJsonValue& v : arrayOf(content, "ticket")) {
        const QJsonObject t = v.toObject();
        const std::optional<qint64> price = money::yuanTextToFen(text(t, "price"));
        if (!price) {
            ++l.unpricedTickets;
            continue;
        }
        TicketType type;
        type.name = text(t, "name");
        type.priceFen = *price;
        type.id = digitsOrZero(t, "id");
        type.shopid = digitsOrZero(t, "shopid");
        type.status = digitsOrZero(t, "status");
        l.tickets.append(type);
    }
    return answer(verdict(reply, Verdict::Success), l);
}

Read<VersionOffer> versionOffer(const gateway::Reply& reply) {
    if (!reply.ok()) {
        return answer<VersionOffer>(notEnvelope(reply));
    }
    const QJsonObject content = contentOf(reply);
    const std::optional<int> code = number(content, "code");
    if (!code) {
        return answer<VersionOffer>(verdict(reply, Verdict::Unusable));
    }
    VersionOffer offer;
    if (*code != 0) {
        offer.versionCode = text(content, "version_code");
    }
    return answer(verdict(reply, Verdict::Success), offer);
}

Read<QList<Shop>> shopList(const gateway::Reply& reply) {
    if (!reply.ok()) {
        return answer<QList<Shop>>(notEnvelope(reply));
    }
    const QJsonObject content = contentOf(reply);
    const QJsonValue list = content.value(QLatin1String("listshop"));
    if (!list.isArray()) {
        return answer<QList<Shop>>(refusedOrUnusable(reply, content));
    }
    QList<Shop> shops;
    for (const QJsonValue& v : list.toArray()) {
        const QJsonObject o = v.toObject();
        shops.append(Shop{text(o, "shopid"), text(o, "main_name"), text(o, "branch_name")});
    }
    return answer(verdict(reply, Verdict::Success), shops);
}

Order orderOf(const QJsonObject& row, const QTimeZone& zone) {
    Order o;
    o.tradeNo = text(row, "trade_no");
    o.outTradeNo = text(row, "out_trade_no");
    o.fen = fen(row, "money");
    o.refundFen = fen(row, "refundfee");
    o.payChannel = text(row, "pay_channel");
    o.finalinfo = text(row, "finalinfo");
    o.payDate = text(row, "pay_date");
    o.paidAt = parsePayDate(o.payDate, zone);
    o.shopName = text(row, "shopname");
    o.cardNo = text(row, "cardno");
    o.shopId = text(row, "shopid");
    o.operatorName = text(row, "operator");
    return o;
}

Read<ListingPage> listing(const gateway::Reply& reply) {
    if (!reply.ok()) {
        return answer<ListingPage>(notEnvelope(reply));
    }
    const QJsonObject content = contentOf(reply);
    // Rows that came are the answer, whatever else the envelope says.
    if (!content.value(QLatin1String("listpay")).isArray()) {
        if (const std::optional<QString> refusal = queryRefusal(reply.root, content)) {
            return answer<ListingPage>(verdict(reply, Verdict::Refused, *refusal));
        }
    }
    ListingPage p;
    p.wechatCount = text(content, "total_wx");
    p.alipayCount = text(content, "total_al");
    p.jdCount = text(content, "jdpay_tnum");
    p.cardReported = text(content, "swipingcard_tnum");
    p.cardCount = text(content, "total_pos");
    p.totalCount = text(content, "total_count");
    p.wechatFen = fen(content, "wechat_tfee");
    p.alipayFen = fen(content, "alipay_tfee");
    p.jdFen = fen(content, "jdpay_tfee");
    p.cardFen = fen(content, "swipingcard_tfee");
    p.totalFen = fen(content, "total_fee");
    p.refundFen = fen(content, "total_rfee");
    p.totalPage = number(content, "total_page").value_or(0);
    p.listed = content.value(QLatin1String("listpay")).isArray();
    p.pagesInRange = qMax(1, integer(content, "total_page").value_or(1));
    for (const QJsonValue& v : arrayOf(content, "listpay")) {
        p.rows.append(orderOf(v.toObject(), reply.zone));
    }
    return answer(verdict(reply, Verdict::Success), p);
}

std::optional<qint64> refundedOfOrder(const gateway::Reply& reply, const QString& orderNo) {
    const Read<ListingPage> page = listing(reply);
    if (!page.ok() || !page.value.listed) {
        return std::nullopt;
    }
    for (const QJsonValue& v : arrayOf(contentOf(reply), "listpay")) {
        const QJsonObject row = v.toObject();
        if (text(row, "out_trade_no") != orderNo && text(row, "trade_no") != orderNo) {
            continue;
        }
        const QJsonValue refunded = row.value(QLatin1String("refundfee"));
        // The listing leaves the field out (or empty) for an order with nothing refunded; anything else must read as
        // an amount, or the amount is not known.
        if (refunded.isUndefined() || refunded.isNull() || (refunded.isString() && refunded.toString().isEmpty())) {
            return 0;
        }
        return fen(refunded);
    }
    return std::nullopt;
}

Read<PrintTime> printTime(const gateway::Reply& reply) {
    if (!reply.ok()) {
        return answer<PrintTime>(notEnvelope(reply));
    }
    const QJsonObject content = contentOf(reply);
    PrintTime t{text(content, "time1"), text(content, "time2")};
    if (t.time1.isEmpty() && t.time2.isEmpty()) {
        return answer<PrintTime>(refusedOrUnusable(reply, content));
    }
    return answer(verdict(reply, Verdict::Success), t);
}

Read<Totals> totals(const gateway::Reply& reply) {
    if (!reply.ok()) {
        return answer<Totals>(notEnvelope(reply));
    }
    const QJsonObject content = contentOf(reply);
    Totals t;
    t.allFen = netFen(content.value(QLatin1String("allmoney")));
    // A refused query (an expired session, say) has no "allmoney": never a period without sales.
    if (!t.allFen) {
        return answer<Totals>(refusedOrUnusable(reply, content));
    }
    t.time1 = text(content, "time1");
    t.time2 = text(content, "time2");
    t.refundFen = fen(content, "refundmoney");
    const QJsonObject alipay = content.value(QLatin1String("ALIPAY")).toObject();
    const QJsonObject wechat = content.value(QLatin1String("WECHAT")).toObject();
    t.alipayFen = fen(alipay, "money");
    t.alipayRefundFen = fen(alipay, "refundmoney");
    t.wechatFen = fen(wechat, "money");
    t.wechatRefundFen = fen(wechat, "refundmoney");
    for (const QJsonValue& v : arrayOf(content, "tickets")) {
        const QJsonObject o = v.toObject();
        t.tickets.append(TicketTotal{text(o, "cardno"), text(o, "sum"), text(o, "num")});
    }
    return answer(verdict(reply, Verdict::Success), t);
}

Status printLogged(const gateway::Reply& reply) {
    if (!reply.ok()) {
        return notEnvelope(reply);
    }
    if (const std::optional<QString> refusal = queryRefusal(reply.root, contentOf(reply))) {
        return verdict(reply, Verdict::Refused, *refusal);
    }
    return verdict(reply, Verdict::Success);
}

Read<Items> items(const gateway::Reply& reply) {
    if (!reply.ok()) {
        return answer<Items>(notEnvelope(reply));
    }
    const QJsonObject content = contentOf(reply);
    const std::optional<int> count = number(content, "count");
    if (!count || *count < 0) {
        return answer<Items>(refusedOrUnusable(reply, content));
    }
    Items r;
    r.count = *count;
    for (const QJsonValue& v : arrayOf(content, "cards")) {
        const QJsonObject card = v.toObject();
        r.items.append(CardItem{text(card, "cardno"), text(card, "price"), integer(card, "state") == 1});
    }
    return answer(verdict(reply, Verdict::Success), r);
}

Status passwordChange(const gateway::Reply& reply) {
    if (!reply.ok()) {
        return notEnvelope(reply);
    }
    const QJsonObject content = contentOf(reply);
    const QJsonObject judged = reply.root.contains(QLatin1String("code")) ? reply.root : content;
    const QString msg = text(content, "msg");
    return verdict(reply, number(judged, "code") == 1 ? Verdict::Success : Verdict::Refused, msg);
}

Status refundPasswordChange(const gateway::Reply& reply) {
    if (!reply.ok()) {
        return notEnvelope(reply);
    }
    const QJsonValue respType = contentOf(reply).value(QLatin1String("respType"));
    if (!respType.isString()) {
        return verdict(reply, Verdict::Unusable);
    }
    if (respType.toString() == QLatin1String("Success")) {
        return verdict(reply, Verdict::Success);
    }
    return verdict(reply, Verdict::Refused, respType.toString());
}

Read<QString> question(const gateway::Reply& reply) {
    if (!reply.ok()) {
        return answer<QString>(notEnvelope(reply));
    }
    const QJsonObject content = contentOf(reply);
    const QJsonValue q = content.value(QLatin1String("refundquestion"));
    if (q.isUndefined() && !text(content, "msg").trimmed().isEmpty()) {
        return answer<QString>(verdict(reply, Verdict::Refused, text(content, "msg")));
    }
    if (!q.isUndefined() && !q.isString() && !q.isNull()) {
        return answer<QString>(verdict(reply, Verdict::Unusable));
    }
    return answer(verdict(reply, Verdict::Success), q.toString());
}

}  // namespace replies
