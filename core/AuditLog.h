#pragma once

#include <functional>
#include <optional>
#include <QDateTime>
#include <QList>
#include <QString>

namespace miv {

class Operator;

// One write to a relay as the audit log keeps it.
struct AuditEntry
{
    QDateTime time;
    QString user; // the PC's user name
    QString port; // the port the relay was written over
    int address = 0; // bus address
    int factoryNumber = 0; // the relay's factory number as identified
    QString target; // "0x0050" for a register, "coil 0x0300" for a coil
    QString item; // what it is: the row's name, "пароль", ...
    QString oldValue; // as the grid shows it; empty where there is none
    QString newValue; // as the grid shows it; empty for the password
    QString answer; // "taken", "refused N", "no answer", or "sent" (no answer recorded)
    QString id; // the write's lines share it; empty in logs written before it was kept

    bool operator==(const AuditEntry &) const = default;
};

// What one write is, as the writing operation knows it.
struct AuditWrite
{
    quint16 number = 0; // the register or the coil
    bool coil = false;
    QString item;
    QString oldValue;
    QString newValue;
};

// The relay's answer to a write.
namespace AuditAnswer {
inline const QString taken = QStringLiteral("taken");
inline const QString noAnswer = QStringLiteral("no answer");
// Logged before the request goes out; an entry left so had its answer cut
// off (the program was killed or the power went): the relay may have taken it.
inline const QString sent = QStringLiteral("sent");
inline QString refused(int code)
{
    return QStringLiteral("refused %1").arg(code);
}
} // namespace AuditAnswer

// The audit trail: every write to a relay appends one JSON line to
// "audit.jsonl" in the program's data folder, each a link of a hash chain
// (AuditChain) that `mivctl audit verify` checks. The log never holds up a
// write: when the file cannot be written the write goes on, and the operator
// is told once for the life of the log (one run) with a note.
class AuditLog
{
public:
    static inline const QString fileName = QStringLiteral("audit.jsonl");
    // The folder the environment variable MIV_DATA_DIR names, else the
    // program's data folder as programFolders() decides it: beside the
    // program, or the user's data folder when installed. The window and
    // mivctl share it, so `mivctl audit` shows the window's writes too.
    static QString defaultFolder();
    // The name of the user logged on to the PC; "?" when unknown.
    static QString systemUserName();

    explicit AuditLog(const QString &folder = defaultFolder());

    void setFolder(const QString &folder) { m_folder = folder; }
    QString folder() const { return m_folder; }
    QString filePath() const;

    // The port the bus talks over, asked at each record; empty: none known.
    std::function<QString()> portName;
    QString userName = systemUserName();

    // Appends the line of one write to the relay at address/factoryNumber;
    // the lines of one write (sent, then answered) share `id`. False when the
    // file could not be written (the operator was told, once).
    bool record(int address, int factoryNumber, const AuditWrite &write, const QString &answer,
                Operator &op, const QString &id = {});
    // A new id for the lines of one write.
    static QString newWriteId();

    // The entry as its JSON line (no line end), and back; nullopt for a line
    // that is no entry.
    static QByteArray toJsonLine(const AuditEntry &entry);
    static std::optional<AuditEntry> fromJsonLine(const QByteArray &line);
    // One readable line: time, user, port, address/factory, target, item,
    // old → new, answer ("sent, answer unknown" for a write whose answer was
    // never recorded).
    static QString readableLine(const AuditEntry &entry);

    // The entries of the file at or after `since` (all when invalid), in file
    // order; lines that are no entry are skipped. The answer's line of a
    // write takes the place of its "sent" line (a log of lines without ids,
    // as older versions wrote, reads as before). nullopt (with the reason)
    // when an existing file cannot be read; a missing file holds none.
    static std::optional<QList<AuditEntry>> readEntries(const QString &path, const QDateTime &since,
                                                        QString *error = nullptr);

private:
    // Appends the entry's JSON object to the file as the next line of its
    // chain (see AuditChain); the reason it could not, for the operator.
    std::optional<QString> appendLine(const QByteArray &entryJson) const;

    QString m_folder;
    bool m_failureTold = false;
};

} // namespace miv
