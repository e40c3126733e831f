#pragma once

#include <QFile>
#include <QList>
#include <QString>
#include <QThread>
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

// How busy the machine is: the processors' time (all of them) and that of this process and another one (the sandbox),
// in clock ticks from /proc, and the load average. Two readings give the share each had in between.
struct CpuUse {
    int processors = 0;
    QString loadAverage;  // over 1, 5 and 15 minutes
    qint64 total = 0;
    qint64 idle = 0;  // idle and waiting for the disk
    qint64 self = 0;
    qint64 other = 0;
};

inline qint64 processTicks(qint64 pid) {
    QFile f(pid > 0 ? QStringLiteral("/proc/%1/stat").arg(pid) : QStringLiteral("/proc/self/stat"));
    if (!f.open(QIODevice::ReadOnly)) {
        return 0;
    }
    // After the name in parentheses: state is the 3rd field, utime and stime the 14th and 15th.
    const QByteArray line = f.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields.at(11).toLongLong() + fields.at(12).toLongLong() : 0;
}

inline CpuUse cpuUse(qint64 otherPid) {
    CpuUse u;
    u.processors = QThread::idealThreadCount();
    QFile load(QStringLiteral("/proc/loadavg"));
    if (load.open(QIODevice::ReadOnly)) {
        u.loadAverage = QString::fromLatin1(load.readAll().split(' ').mid(0, 3).join(' '));
    }
    QFile stat(QStringLiteral("/proc/stat"));
    if (stat.open(QIODevice::ReadOnly)) {
        // "cpu  user nice system idle iowait irq softirq steal ..." (guest time is inside user time)
        const QList<QByteArray> f = stat.readLine().simplified().split(' ');
        for (int i = 1; i < f.size() && i <= 8; ++i) {
            u.total += f.at(i).toLongLong();
        }
        u.idle = f.value(4).toLongLong() + f.value(5).toLongLong();
    }
    u.self = processTicks(0);
    u.other = processTicks(otherPid);
    return u;
}

// Of all the processors' time between two readings: the share other processes than these two kept busy.
inline double othersBusyPercent(const CpuUse& a, const CpuUse& b) {
    const qint64 total = b.total - a.total;
    const qint64 busy = total - (b.idle - a.idle) - (b.self - a.self) - (b.other - a.other);
    return total > 0 ? 100.0 * std::max<qint64>(0, busy) / total : 0;
}

// This process's share (or the other one's).
inline double ownBusyPercent(const CpuUse& a, const CpuUse& b, bool other) {
    const qint64 total = b.total - a.total;
    return total > 0 ? 100.0 * (other ? b.other - a.other : b.self - a.self) / total : 0;
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
