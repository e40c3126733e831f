#include "journalrules.h"

#include "app/shown.h"
#include "app/money.h"
#include "gateway/gatewayclock.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <utility>

namespace journal {

namespace {

const std::array<std::pair<State, const char*>, 6> kStates{{{State::Sending, "sending"},
                                                            {State::NotSent, "not_sent"},
                                                            {State::Paid, "paid"},
                                                            {State::Refused, "refused"},
                                                            {State::Unresolved, "unresolved"},
                                                            {State::Released, "released"}}};

const std::array<std::pair<Kind, const char*>, 3> kKinds{
    {{Kind::Charge, "charge"}, {Kind::TicketCharge, "ticket_charge"}, {Kind::Refund, "refund"}}};

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

}  // namespace

bool maySettle(State from, State to) {
    switch (from) {
        case State::Sending:
            return to != State::Sending;
        case State::Unresolved:
            return to == State::Paid || to == State::Released;
        case State::Refused:
        case State::Released:
            // Found in the listing later: the gateway took it despite its answer, or despite the release.
            return to == State::Paid;
        case State::NotSent:
        case State::Paid:
            return false;
    }
    return false;
}

Settlement settlementOf(replies::Outcome outcome, const QString& message) {
    switch (outcome) {
        case replies::Outcome::Paid:
            return {State::Paid, message};
        case replies::Outcome::Refused:
            return {State::Refused, message};
        case replies::Outcome::NotSent:
            return {State::NotSent, QString()};
        case replies::Outcome::Unknown:
            break;
    }
    return {State::Unresolved, message.isEmpty() ? QStringLiteral("没有收到明确的答复")
                                                 : QStringLiteral("答复不明确：") + display::shown(message)};
}

bool isOpen(State state) {
    return state == State::Sending || state == State::Unresolved;
}

bool isCharge(Kind kind) {
    return kind == Kind::Charge || kind == Kind::TicketCharge;
}

QString maskCode(const QString& code) {
    const QString c = code.trimmed();
    if (c.isEmpty()) {
        return QString();
    }
    const QString mask = QStringLiteral("****");
    if (c.size() < 12) {
        return mask;
    }
    const QString tail = c.right(4);
    return std::all_of(tail.begin(), tail.end(), isAsciiDigit) ? mask + tail : mask;
}

bool looksUnmasked(const QString& text) {
    return std::count_if(text.begin(), text.end(), [](QChar c) { return c.isDigit(); }) > 4;
}

QString stateName(State state) {
    for (const auto& [s, name] : kStates) {
        if (s == state) {
            return QLatin1String(name);
        }
    }
    return QString();
}

std::optional<State> stateFromName(const QString& name) {
    for (const auto& [s, n] : kStates) {
        if (name == QLatin1String(n)) {
            return s;
        }
    }
    return std::nullopt;
}

QString openRefundsNotice(const QList<Attempt>& open, const QString& currentShopId,
                          const std::function<QString(const QString&)>& storeName, const QTimeZone& zone) {
    QStringList lines;
    bool otherStore = false;
    for (const Attempt& a : open) {
        if (a.kind != Kind::Refund || !isOpen(a.state)) {
            continue;
        }
        QString store = storeName ? storeName(a.shopId) : QString();
        if (store.isEmpty()) {
            store = QStringLiteral("门店编号 %1").arg(a.shopId);
        }
        if (a.shopId != currentShopId) {
            otherStore = true;
            store += QStringLiteral("（不是当前门店）");
        }
        lines << QStringLiteral("订单号 %1，退款 %2 元，%3，%4")
                     .arg(a.orderNo, money::fenToYuan2(a.fen), store,
                          gateway::inZone(a.createdAt, zone).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    }
    if (lines.isEmpty()) {
        return QString();
    }
    QString text =
        QStringLiteral("上次有 %1 笔退款没有收到明确的结果，可能已经退款，也可能没有：\n\n").arg(lines.size()) +
        lines.join(QLatin1Char('\n')) +
        QStringLiteral("\n\n请在交易查询中找到这笔交易，点“退款”核对结果；核对完成前，这笔交易不能再次退款。");
    if (otherStore) {
        text += QStringLiteral("不在当前门店的交易，请登录它的门店后查询。");
    }
    return text;
}

QList<Attempt> lookBackFor(const QList<Attempt>& recent, qint64 fen, const QDateTime& now,
                           const QSet<QString>& listable) {
    const QDateTime from = now.addSecs(-60 * kLookBackMinutes);
    QSet<QString> paidSales;
    for (const Attempt& a : recent) {
        if (isCharge(a.kind) && a.state == State::Paid) {
            paidSales.insert(a.saleId);
        }
    }
    QList<Attempt> out;
    for (const Attempt& a : recent) {
        if (!isCharge(a.kind) || a.fen != fen || (a.state != State::Refused && a.state != State::Released) ||
            a.createdAt < from || a.createdAt > now || paidSales.contains(a.saleId) || !listable.contains(a.shopId)) {
            continue;
        }
        out.append(a);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Attempt& x, const Attempt& y) { return x.createdAt < y.createdAt; });
    return out;
}

QString refundAgainstNow(qint64 refundFen, std::optional<qint64> orderFen, std::optional<qint64> shownRefundedFen,
                         qint64 refundedNowFen) {
    if (shownRefundedFen && *shownRefundedFen != refundedNowFen) {
        const QString left = orderFen ? money::fenToYuan2(qMax<qint64>(0, *orderFen - refundedNowFen)) : QString();
        return QStringLiteral(
                   "这笔交易的已退金额变了：页面上是 %1元，网关现在是 %2元（可能别处刚刚退过款）。本次没有退款。")
                   .arg(money::fenToYuan2(*shownRefundedFen), money::fenToYuan2(refundedNowFen)) +
               (orderFen ? QStringLiteral("\n现在还可退 %1元，请与顾客核对后重新输入退款金额。").arg(left) : QString());
    }
    if (orderFen && refundFen > *orderFen - refundedNowFen) {
        const qint64 left = qMax<qint64>(0, *orderFen - refundedNowFen);
        return left == 0 ? QStringLiteral("这笔交易已经全部退款（交易金额 %1元，已退 %2元），本次没有退款。")
                               .arg(money::fenToYuan2(*orderFen), money::fenToYuan2(refundedNowFen))
                         : QStringLiteral(
                               "退款金额 %1元 超过这笔交易还可退的 %2元（交易金额 %3元，已退 %4元），"
                               "本次没有退款。")
                               .arg(money::fenToYuan2(refundFen), money::fenToYuan2(left), money::fenToYuan2(*orderFen),
                                    money::fenToYuan2(refundedNowFen));
    }
    return QString();
}

std::optional<Attempt> earlierRefundThatWentThrough(const QList<Attempt>& ofOrder, qint64 refundedNowFen) {
    QList<Attempt> refunds;
    for (const Attempt& a : ofOrder) {
        if (a.kind == Kind::Refund) {
            refunds.append(a);
        }
    }
    std::stable_sort(refunds.begin(), refunds.end(), [](const Attempt& x, const Attempt& y) { return x.id < y.id; });
    // A refund done later was judged against the amount as it stood then: the attempts before it are settled by it.
    int first = 0;
    for (int i = 0; i < refunds.size(); ++i) {
        if (refunds.at(i).state == State::Paid) {
            first = i + 1;
        }
    }
    for (int i = refunds.size() - 1; i >= first; --i) {
        const Attempt& a = refunds.at(i);
        const bool mayHaveGone =
            a.state == State::Refused || a.state == State::Released || a.state == State::Unresolved;
        if (mayHaveGone && a.refundedBefore && *a.refundedBefore + a.fen == refundedNowFen) {
            return a;
        }
    }
    return std::nullopt;
}

QString handoverBlockedText(const QList<Attempt>& open, const QTimeZone& zone) {
    QStringList lines;
    for (const Attempt& a : open) {
        if (!isOpen(a.state)) {
            continue;
        }
        const QString at = gateway::inZone(a.createdAt, zone).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        lines << (a.kind == Kind::Refund
                      ? QStringLiteral("退款 %1元，订单号 %2，%3，%4")
                            .arg(money::fenToYuan2(a.fen), a.orderNo, at, stateLabel(a.state))
                      : QStringLiteral("收款 %1元，付款码 %2，%3，%4")
                            .arg(money::fenToYuan2(a.fen), a.maskedCode.isEmpty() ? QStringLiteral("—") : a.maskedCode,
                                 at, stateLabel(a.state)));
    }
    if (lines.isEmpty()) {
        return QString();
    }
    return QStringLiteral("还有 %1 笔收款或退款的结果没有确认，交接班前请先处理：\n\n").arg(lines.size()) +
           lines.join(QLatin1Char('\n')) +
           QStringLiteral("\n\n收款请在收款窗口中确认，退款请在交易查询中打开这笔交易的“退款”核对。");
}

QString unwrittenBlockedText(const QList<Attempt>& unwritten, const QTimeZone& zone) {
    QStringList lines;
    for (const Attempt& a : unwritten) {
        lines << QStringLiteral("%1 %2元，%3")
                     .arg(a.kind == Kind::Refund ? QStringLiteral("退款") : QStringLiteral("收款"),
                          money::fenToYuan2(a.fen),
                          gateway::inZone(a.createdAt, zone).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    }
    if (lines.isEmpty()) {
        return QString();
    }
    return QStringLiteral(
               "还有 %1 笔收款或退款的结果没能写入收款记录文件（磁盘已满或文件被占用？），程序正在自动重试：\n\n")
               .arg(lines.size()) +
           lines.join(QLatin1Char('\n')) +
           QStringLiteral("\n\n请等写入完成（或腾出磁盘空间）后再交接班，否则下一位收银员会被问到这些收款。");
}

QString stateLabel(State state) {
    switch (state) {
        case State::Sending:
            return QStringLiteral("发送中");
        case State::NotSent:
            return QStringLiteral("未发出");
        case State::Paid:
            return QStringLiteral("已成功");
        case State::Refused:
            return QStringLiteral("被拒绝");
        case State::Unresolved:
            return QStringLiteral("未确认");
        case State::Released:
            return QStringLiteral("已放弃确认");
    }
    return QString();
}

QString kindName(Kind kind) {
    for (const auto& [k, name] : kKinds) {
        if (k == kind) {
            return QLatin1String(name);
        }
    }
    return QString();
}

std::optional<Kind> kindFromName(const QString& name) {
    for (const auto& [k, n] : kKinds) {
        if (name == QLatin1String(n)) {
            return k;
        }
    }
    return std::nullopt;
}

}  // namespace journal
