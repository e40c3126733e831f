#pragma once

#include <QFile>
#include <QList>
#include <QString>
#include <algorithm>

namespace bench {

// Resident memory of this process in KiB, from /proc.
inline long rssKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

struct Summary {
    double median = 0, p90 = 0, p99 = 0, min = 0, max = 0;
};

inline Summary summarize(QList<double> ms) {
    Summary s;
    if (ms.isEmpty()) {
        return s;
    }
    std::sort(ms.begin(), ms.end());
    s.median = ms.at(ms.size() / 2);
    s.p90 = ms.at(std::min<int>(ms.size() - 1, ms.size() * 9 / 10));
    s.p99 = ms.at(std::min<int>(ms.size() - 1, ms.size() * 99 / 100));
    s.min = ms.first();
    s.max = ms.last();
    return s;
}

}  // namespace bench
