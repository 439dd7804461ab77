#pragma once

// The scanner's side of the serial protocol: bytes in, bytes out, time given
// by the caller in milliseconds. zev-scanner-sim runs it on a pseudo-terminal,
// tests join it to the exchanges through a fake port.
//
// Where the PC side leaves the scanner's behaviour open, this model does:
// - Framing: a frame runs from the last STX before an ETX to that ETX. Nothing
//   the PC puts inside a frame (letters, digits, blanks, clock bytes of 0x10
//   and up, nibble characters 0x30-0x3F, check characters 0x20-0x7F) can be
//   an STX or an ETX, so every byte outside such a run is line noise and is
//   dropped. A run longer than 512 bytes is noise too (the longest frame, the
//   transmit frame, has 269), which keeps the input buffer bounded.
// - The transmit frame is told apart by its shape: 269 bytes with "Z" at
//   offset 9. Every other frame is STX, body, CR, check, ETX.
// - Password: held padded to 8 with blanks (a longer one is cut to 8) and
//   compared byte for byte with the frame's 8-character field. password()
//   returns the padded form.
// - A 9-character body that begins with "P" may be the login (letter first)
//   or a password-first request whose password begins with "P": it is taken
//   as the password-first request when that password matches, else as the
//   login.
// - Every frame that is refused or not understood gets NakFrame: wrong
//   password, wrong check character, unknown letter, wrong length, a transmit
//   frame with a character that is no nibble, a set-clock time that is no
//   date. Nothing that is refused changes any state.
// - "D": STX, machine ID (8 characters, blank-padded), the record count as 5
//   digits, then per record 6 clock bytes (each value + 16), the stored data
//   (its first character is the one the PC does not show; generated records
//   use a symbology letter) and "?" CR, and finally one ETX (the PC ignores
//   fewer than 8 characters after the last terminator). At most 99999 records
//   are sent, as many as the count can announce. Data are sent as stored.
// - "E": the records are gone as soon as the frame is read; the Ack comes
//   eraseDelayMs after the frame.
// - "T": the six clock bytes must form a valid date and time (hours 0-23);
//   the clock then runs on from them.
// - "R": the six clock bytes of the frame are not used. The reply has the
//   request shape with the clock as body: STX, year, month, day, hour,
//   minute, second (each value + 16), CR, check character, ETX: 10 bytes,
//   the clock in the 2nd to 7th byte.
// - "Z": the 128 values are kept as the image; "C": the new password is kept.
// - Clock: a wall clock without time zone, held as UTC so it never jumps.
// - Replies queue one behind the other and go out at bytesPerSecond; a reply
//   that would take the queued output over 1 MiB is dropped while earlier
//   output is still queued.
// - Faults RefuseAll, Silent, OneByteReply and GarbledReply do not carry out
//   any request; HangUpAfterBytes works normally until the line goes dead.
//   The one byte is STX; the garbled reply is an Ack with a wrong check
//   character (02 06 0D 34 03).
// - Noise answers "D" with bytes that are no download (letters, never STX or
//   "?"), at the line rate, without end; ShortDownload announces every record
//   and sends only the first shortRecords of them, without the ETX, and then
//   nothing more of that download; SilentDownload never answers "D". All
//   three answer every other frame normally.
// - Out of the cradle (setDocked(false)) the scanner hears nothing: bytes
//   from the PC are dropped, and whatever it was still sending stops. Its
//   records, password, image and clock are kept.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QTimeZone>

#include <array>
#include <deque>

class ScannerModel
{
public:
    enum class Fault { None, RefuseAll, Silent, OneByteReply, GarbledReply, HangUpAfterBytes, Noise, ShortDownload,
                       SilentDownload };

    // data as the scanner stores it: the character the PC does not show, then the barcode.
    struct Record
    {
        QDateTime time;
        QByteArray data;
    };

    struct Config
    {
        QByteArray password = "1234";
        QByteArray machineId = "ZEV00001";
        QDateTime clock = QDateTime(QDate(2026, 1, 1), QTime(8, 0, 0), QTimeZone::utc()); // at time 0
        QList<Record> records;
        int bytesPerSecond = 1920; // 0: every byte is due at once
        int replyDelayMs = 10;     // end of a frame to the first reply byte
        Fault fault = Fault::None;
        int hangUpAfterBytes = -1; // with HangUpAfterBytes
        int shortRecords = 0;      // with ShortDownload
        int eraseDelayMs = 1000;   // end of the erase frame to its Ack
        QByteArray image;          // 128 values kept from an earlier transmit, or empty
        bool docked = true;
    };

    static const QByteArray AckFrame;
    static const QByteArray NakFrame;

    explicit ScannerModel(Config config);

    // Bytes from the PC, in any chunking.
    void receive(const QByteArray &bytes, qint64 nowMs);
    // The reply bytes whose time has come.
    QByteArray takeOutput(qint64 nowMs);
    // When the next reply byte is due; -1 when nothing is pending.
    qint64 nextOutputDueMs() const;
    // With HangUpAfterBytes: the line is dead once the last allowed byte was due.
    bool hungUp(qint64 nowMs) const;

    void setDocked(bool docked, qint64 nowMs);
    bool docked() const { return m_docked; }
    // Records scanned while the scanner runs, after those it holds; the
    // memory is full at 99999. Returns how many were kept.
    qsizetype addRecords(const QList<Record> &records);
    // Counts the changes to what the scanner keeps when switched off
    // (records, password, image), so a caller knows when to save them.
    quint64 memoryChanges() const { return m_memoryChanges; }

    QByteArray password() const { return m_password; }
    const std::array<quint8, 128> &image() const { return m_image; }
    bool hasImage() const { return m_hasImage; }
    QDateTime clockAt(qint64 nowMs) const;
    QByteArray machineId() const { return m_machineId; }
    QList<Record> records() const { return m_records; }
    // The latest 1000 complete frames, valid or not, STX to ETX.
    QList<QByteArray> framesReceived() const { return m_frames; }
    // One line per frame and its reply since the last call (the latest 1000).
    QStringList takeLog();

    static QList<Record> generateRecords(int count, QDateTime start, int seed);
    // ((sum of the bytes + CR) mod 128) OR 0x20
    static char checkChar(const QByteArray &body);
    static QByteArray clockBytes(const QDateTime &time);

private:
    struct Pending
    {
        QByteArray bytes;
        qint64 startMs = 0;
        qsizetype taken = 0;
    };

    void handleFrame(const QByteArray &frame, qint64 nowMs);
    QString handleRequest(const QByteArray &body, qint64 nowMs);
    QString handleTransmit(const QByteArray &frame, qint64 nowMs);
    QString queue(const QByteArray &reply, qint64 readyMs);
    QByteArray downloadStream() const;
    qsizetype dueCount(const Pending &p, qint64 nowMs) const;
    qint64 byteDueMs(const Pending &p, qsizetype index) const;
    bool deadForGood() const;
    void log(const QString &line);

    Config m_config;
    QByteArray m_password;
    QByteArray m_machineId;
    QDateTime m_clockBase;
    qint64 m_clockBaseMs = 0;
    QList<Record> m_records;
    std::array<quint8, 128> m_image {};
    bool m_hasImage = false;
    bool m_docked = true;
    quint64 m_memoryChanges = 0;

    QByteArray m_input;
    QList<QByteArray> m_frames;
    QStringList m_log;

    std::deque<Pending> m_out;
    qsizetype m_queuedBytes = 0;
    qint64 m_lineFreeMs = 0;
    qint64 m_sent = 0;
    qint64 m_noiseStartMs = -1; // with Noise, once "D" came
    qint64 m_noiseSent = 0;
};
