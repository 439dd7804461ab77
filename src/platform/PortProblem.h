#pragma once

#include <QString>

// What the system tells about a port that could not be opened or failed,
// gathered where it happened (the real port reads it from the device).
struct PortFacts
{
    enum When { Opening, WhileOpen }; // WhileOpen: the line failed after it was open
    enum Error { NotFound, Permission, Other };

    QString device;
    When when = Opening;
    Error error = Other;       // as the serial port library classed it
    QString osReason;          // the library's words

    bool exists = true;
    bool isCharDevice = true;
    bool accessible = true;    // this user may read and write it
    QString owner;
    QString group;
    unsigned mode = 0;         // permission bits
    bool userListedInGroup = false; // the group lists the user, but this session is not in it yet
    QString usualGroup;        // the group that owns serial ports here ("dialout", or "uucp" on Arch)

    qint64 holderPid = 0;      // the program that holds the device: by its lock file, or its open file
    QString holderProgram;
    QString lockFile;
};

// The device, the operating system's reason and a hint for the usual causes
// (permission, in use, missing), as a box's detail or one line of text.
struct PortProblem
{
    enum Kind { None, Missing, Permission, Busy, Lost, Other };
    Kind kind = None;
    QString device;
    QString reason;
    QString hint;

    bool isNone() const { return kind == None; }
    // "DEVICE: REASON (HINT)"
    QString line() const;
    // The same for a message box: the hint on its own line, as a sentence.
    QString detail() const;

    static PortProblem diagnose(const PortFacts &facts);

private:
    QString deviceAndReason() const;
};

// The detail of a box that says nothing answered: the port that was tried and what to check.
QString noReplyDetail(int comNumber, const QString &device);
