#pragma once

#include "core/services.h"

#include <QObject>
#include <QString>

class Till;

// The merchant's stores and the one chosen.
class StoreService {
public:
    explicit StoreService(Till& till) : m_till(till) {}
    // "Account.Shop.listShop"; a list that arrives becomes the session's, by position.
    void list(QObject* receiver, Finished<replies::Read<QList<Shop>>> done);
    // The store at `index` of the list becomes the session's (a missing index: none).
    void choose(int index);
    // The confirmed choice, by the text it is shown with, is remembered in data.ini for the next sign-in.
    void remember(const QString& shownText);
    QString remembered();

private:
    Till& m_till;
};
