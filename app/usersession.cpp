#include "usersession.h"

#include <memory>

namespace {
std::unique_ptr<UserSession>& sessionInstance() {
    static std::unique_ptr<UserSession> session;
    return session;
}
}  // namespace

UserSession& userSession() {
    auto& s = sessionInstance();
    if (!s) {
        s = std::make_unique<UserSession>();
    }
    return *s;
}

QList<TicketType*>& ticketTypes() {
    static QList<TicketType*> types;
    return types;
}

void endSession() {
    userSession() = UserSession();  // in place: a reference taken earlier stays valid
    qDeleteAll(ticketTypes());
    ticketTypes().clear();
}

void resetSessionForTests() {
    endSession();
}

QString shopDisplayText(const Shop& shop) {
    return shop.mainName + QStringLiteral("  ") + shop.branchName;
}
