#pragma once

#include <optional>
#include <QByteArray>
#include <QList>
#include <QString>

class QFile;

namespace miv {

// What a check of the audit log's chain found.
struct AuditChainCheck
{
    enum class Fault {
        None,
        Changed, // the line is not as it was written
        Removed, // lines before it were taken out
        Inserted, // the line was put in afterwards
        Swapped, // the line and the next changed places
        Unlinked, // a line without a link after linked ones (put in, or by an older version)
        Cut, // the log ends in a line cut off: a write was cut short, or the tail cut
    };
    Fault fault = Fault::None;
    qint64 line = 0; // the line named, counted from 1 as an editor counts
    QByteArray lineText; // as found there
    qint64 removed = 0; // Removed: how many linked lines are missing
    bool firstLinked = false; // the line named is the first linked one
    QByteArray head; // the last link (no fault, a chain begun)
    qint64 linked = 0; // lines of the chain
    qint64 older = 0; // lines before it, kept as older versions wrote them
    QList<qint64> cutLines; // lines cut off when written, taken in by the line after
};

// The audit log's hash chain (see HashChain). A linked line is the entry's
// JSON object with two more members at its end: `,"seq":N,"chain":"LINK"}`,
// N its place in the chain (1 for the first), LINK the link of every byte
// of the line before `,"chain":"`. The first linked line follows the start
// link of all the bytes before it in the file, the lines older versions
// wrote, so that those stay as they are too. A line cut off when written
// (the power went) is taken into the chain by the next writer: the link
// goes on over its bytes, and the next line starts on a line of its own.
// Blank lines carry nothing and are passed over; a line's end is "\n" or
// "\r\n".
namespace AuditChain {

// Where the chain stands for the next line.
struct Tail
{
    QByteArray link; // the link the next line follows
    qint64 number = 1; // its place
    bool lineEndMissing = false; // the file ends in a cut line: start a new one
};

// The tail of the open `file`, read back from its end to its last linked
// line only (the whole file once, while none is linked yet); the file is
// left at its end. Nullopt when the file cannot be read.
std::optional<Tail> tailOf(QFile &file);
// The line that goes on from `tail`: `entryJson`, a compact JSON object,
// with its number and link; no line end.
QByteArray linkedLine(const QByteArray &entryJson, const Tail &tail);

// The chain of the log at `path` checked from its first line to the first
// break. Nullopt (with the reason) when the file cannot be read; a missing
// file is an empty log.
std::optional<AuditChainCheck> check(const QString &path, QString *error = nullptr);

// The break in one line, as "строка N (time, address, relay, item) изменена";
// empty when there is none.
QString faultText(const AuditChainCheck &check);
// What the check found, for `mivctl audit verify`: the break, or the lines
// cut when written, the size of the chain and its head.
QString reportText(const AuditChainCheck &check);
// The one warning of a command that reads a log that failed its check.
QString brokenLogWarning(const AuditChainCheck &check);

} // namespace AuditChain

} // namespace miv
