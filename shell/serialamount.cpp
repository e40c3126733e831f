#include "serialamount.h"

namespace {

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

QString SerialAmountAssembler::amountOf(const QByteArray& line) {
    int end = line.size();
    while (end > 0 && !isDigit(line.at(end - 1))) {
        --end;
    }
    int begin = end;
    while (begin > 0 && (isDigit(line.at(begin - 1)) || line.at(begin - 1) == '.')) {
        --begin;
    }
    return QString::fromLatin1(line.constData() + begin, end - begin);
}

QStringList SerialAmountAssembler::feed(const QByteArray& chunk) {
    QStringList amounts;
    for (const char c : chunk) {
        if (isLineEnd(c)) {
            // CR LF, or a run of blank lines, ends nothing new: only a line with bytes in it counts.
            if (!m_held.isEmpty()) {
                amounts.append(amountOf(m_held));
                m_held.clear();
            }
            continue;
        }
        m_held.append(c);
    }
    if (m_held.size() > kMaxHeld) {
        // The amount sits at the end of a line, so the oldest bytes are the ones to lose.
        m_held.remove(0, m_held.size() - kMaxHeld);
    }
    return amounts;
}

std::optional<QString> SerialAmountAssembler::flush() {
    if (m_held.isEmpty()) {
        return std::nullopt;
    }
    const QString amount = amountOf(m_held);
    m_held.clear();
    return amount;
}

SerialAmountReader::SerialAmountReader(QObject* parent, int quietGapMs) : QObject(parent) {
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietGapMs);
    connect(&m_quiet, &QTimer::timeout, this, &SerialAmountReader::onQuiet);
}

void SerialAmountReader::feed(const QByteArray& chunk) {
    const QStringList amounts = m_assembler.feed(chunk);
    // The gap is counted from the last byte; a line that ended stops it until new bytes are held.
    if (m_assembler.holding()) {
        m_quiet.start();
    } else {
        m_quiet.stop();
    }
    for (const QString& amount : amounts) {
        emit amountReady(amount);
    }
}

void SerialAmountReader::reset() {
    m_quiet.stop();
    m_assembler.clear();
}

void SerialAmountReader::onQuiet() {
    if (const std::optional<QString> amount = m_assembler.flush()) {
        emit amountReady(*amount);
    }
}

namespace poledisplay {

QByteArray totalCommand(qint64 fen) {
    if (fen < 0) {
        return {};
    }
    const QByteArray amount =
        QByteArray::number(fen / 100) + '.' + QByteArray::number(fen % 100).rightJustified(2, '0');
    return QByteArray("\x1bs2\x1bQA") + amount + '\r';
}

QByteArray clearCommand() {
    return QByteArray("\x0c\x1bs0");
}

}  // namespace poledisplay
