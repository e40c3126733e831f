#pragma once

#include "core/services.h"
#include "gateway/gatewaycall.h"
#include "gateway/requestbody.h"

// Posts `body` for `receiver`, and hands `done` what `read` makes of the reply: the services' common way of asking.
template <class T>
void ask(const gateway::Link& link, QObject* receiver, const RequestBody& body, T (*read)(const gateway::Reply&),
         Finished<T> done) {
    link.post(receiver, body, [read, done](const gateway::Reply& r) { done(read(r)); });
}
