#pragma once

#include "gateway/replies.h"
#include "payments/paymentcontext.h"

#include <QObject>
#include <QString>
#include <functional>

// What the services of the till share (each is a file of its own: signinservice.h, storeservice.h, totalsservice.h,
// passwordservice.h, listingservice.h, refundservice.h, chargeservice.h, receiptservice.h). One per conversation with
// the gateway. Each takes a typed request, posts it and hands the
// caller a finished value read once (an order, a page, totals, a verdict with the gateway's own words); what the
// answer changes in the till's state (the session, data.ini) it changes before the caller hears of it. `receiver` is
// the window that waits: an answer that arrives after it is gone is dropped.
template <class T>
using Finished = std::function<void(const T&)>;

// What the services that move money, or read what moved, take of the till each time they act: its journal (opened,
// or replaced, after they were made), the session, the way to the gateway and the live charges.
using PaymentSource = std::function<PaymentContext()>;
