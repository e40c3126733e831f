#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <optional>

// The amount a POS writes to its customer display, taken out of the byte stream. No widgets and no ports: bytes in,
// amount texts out, so the rules can be checked row by row and fed anything.
//
// The serial driver hands bytes over in whatever chunks it likes: one POS message may arrive in several chunks and
// several messages in one. Chunks are therefore joined into lines (ending at CR or LF), and the amount is taken
// from each whole line.
//
// Only a line that shows an amount on the display changes the amount: the display command ESC Q A <amount>, or
// plain text with digits in it. The display's other commands (initialise ESC @, a lamp ESC s n, clear FF or CAN)
// carry no amount: a POS lights the "total" lamp right after sending the total, and the lamp's number is not the
// sale's amount. Such a command at the start of a line is complete as soon as its last byte arrives, so it neither
// waits for a line end nor holds the line open.
class SerialAmountAssembler {
public:
    // More than any display line with its commands; a stream that never ends a line cannot grow without bound.
    static constexpr int kMaxHeld = 256;

    // Takes one chunk and returns the amount text of every line it completed that carries one, in order (an
    // ESC Q A line without a digit gives the empty text). Bytes after the last line end are held for the next chunk.
    QStringList feed(const QByteArray& chunk);
    // Takes the held bytes as a line (the POS went quiet without ending it). nullopt when nothing is held or the
    // held bytes carry no amount.
    std::optional<QString> flush();
    bool holding() const { return !m_held.isEmpty(); }
    QByteArray held() const { return m_held; }
    void clear() { m_held.clear(); }

    // What `line` (without its line end) does to the amount: the text to put in the amount field, or nullopt when
    // the line carries no amount and the field keeps what it has. With several amounts in one line the last wins.
    static std::optional<QString> lineAmount(const QByteArray& line);

    // The last run of digits and points of `text`: points after the last digit are not part of it, and the run
    // may hold several points (the amount page refuses such text). Empty when the text has no digit.
    static QString amountOf(const QByteArray& text);

private:
    // Drops display commands without an amount from the start of the held bytes once they are complete.
    void dropLeadingCommands();

    QByteArray m_held;
};

// The assembler with its quiet-gap timer, for the event loop: `amountReady` once per line that carries an amount,
// whether it ended with CR/LF or with the POS falling silent for `quietGapMs`.
class SerialAmountReader : public QObject {
    Q_OBJECT
public:
    static constexpr int kQuietGapMs = 300;

    explicit SerialAmountReader(QObject* parent = nullptr, int quietGapMs = kQuietGapMs);

    void feed(const QByteArray& chunk);
    // True while a line has begun but not ended: an amount may be on its way.
    bool holding() const { return m_assembler.holding(); }
    // Forgets held bytes (the port was closed: what comes next is a new stream).
    void reset();

signals:
    void amountReady(const QString& text);
    // Nothing is held any more (after the amounts of the bytes taken, if any): whatever was on its way has come,
    // with or without an amount.
    void settled();

private:
    void onQuiet();

    SerialAmountAssembler m_assembler;
    QTimer m_quiet;
};

// What the client itself writes to the customer display when no POS drives it: the command set the POS uses, so the
// same display shows both. ESC s n lights one of the display's lamps (2: "total"), ESC Q A <amount> CR shows the
// amount, FF clears the screen.
namespace poledisplay {

// ESC s 2, ESC Q A, the amount in yuan with two decimals, CR. Nothing for an amount below 0.
QByteArray totalCommand(qint64 fen);
// FF and the lamps off (ESC s 0).
QByteArray clearCommand();

}  // namespace poledisplay
