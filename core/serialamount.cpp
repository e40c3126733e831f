#include "serialamount.h"

namespace {

constexpr char kEsc = '\x1b';
constexpr char kFormFeed = '\x0c';  // clears the display
constexpr char kCancel = '\x18';    // clears the display's line

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isClear(char c) {
    return c == kFormFeed || c == kCancel;
}

// Where a display command starts: the text before it ends there.
bool startsCommand(char c) {
    return c == kEsc || isClear(c);
}

int textEnd(const QByteArray& line, int from) {
    int end = from;
    while (end < line.size() && !startsCommand(line.at(end))) {
        ++end;
    }
    return end;
}

bool hasDigit(const QByteArray& text) {
    for (const char c : text) {
        if (isDigit(c)) {
            return true;
        }
    }
    return false;
}

}  // namespace

QString SerialAmountAssembler::amountOf(const QByteArray& text) {
    int end = text.size();
    while (end > 0 && !isDigit(text.at(end - 1))) {
        --end;
    }
    int begin = end;
    while (begin > 0 && (isDigit(text.at(begin - 1)) || text.at(begin - 1) == '.')) {
        --begin;
    }
    return QString::fromLatin1(text.constData() + begin, end - begin);
}

std::optional<QString> SerialAmountAssembler::lineAmount(const QByteArray& line) {
    std::optional<QString> amount;
    int i = 0;
    while (i < line.size()) {
        const char c = line.at(i);
        if (isClear(c)) {
            ++i;
            continue;
        }
        if (c != kEsc) {
            // Plain text: an amount when it has a digit (a POS may send the bare number).
            const int end = textEnd(line, i);
            const QByteArray text = line.mid(i, end - i);
            if (hasDigit(text)) {
                amount = amountOf(text);
            }
            i = end;
            continue;
        }
        if (i + 1 >= line.size()) {
            break;
        }
        const char command = line.at(i + 1);
        if (command == '@') {  // initialise
            i += 2;
            continue;
        }
        if (command == 's') {  // lamp n: one byte of its own, then the line goes on
            i += 3;
            continue;
        }
        if (command == 'Q' && i + 2 < line.size() && line.at(i + 2) == 'A') {
            // The amount line, up to the next command. Without a digit it blanks the display, and the field too.
            const int end = textEnd(line, i + 3);
            amount = amountOf(line.mid(i + 3, end - i - 3));
            i = end;
            continue;
        }
        // Any other command (the upper line's text, modes) with its parameters up to the next command: what it
        // carries is not the sale's amount.
        i = textEnd(line, i + 2);
    }
    return amount;
}

void SerialAmountAssembler::dropLeadingCommands() {
    while (!m_held.isEmpty()) {
        if (isClear(m_held.at(0))) {
            m_held.remove(0, 1);
        } else if (m_held.size() >= 2 && m_held.at(0) == kEsc && m_held.at(1) == '@') {
            m_held.remove(0, 2);
        } else if (m_held.size() >= 3 && m_held.at(0) == kEsc && m_held.at(1) == 's') {
            m_held.remove(0, 3);
        } else {
            return;
        }
    }
}

QStringList SerialAmountAssembler::feed(const QByteArray& chunk) {
    QStringList amounts;
    for (const char c : chunk) {
        if (isLineEnd(c)) {
            // CR LF, or a run of blank lines, ends nothing new: only a line with bytes in it counts.
            if (!m_held.isEmpty()) {
                if (const std::optional<QString> amount = lineAmount(m_held)) {
                    amounts.append(*amount);
                }
                m_held.clear();
            }
            continue;
        }
        m_held.append(c);
        // The commands to drop are at most three bytes long, and only ever at the start of the held bytes.
        if (m_held.size() <= 3) {
            dropLeadingCommands();
        }
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
    const std::optional<QString> amount = lineAmount(m_held);
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
    if (!m_assembler.holding()) {
        emit settled();
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
    emit settled();
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
