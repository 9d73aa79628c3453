#include "core/AuditChain.h"

#include "core/AuditLog.h"
#include "core/FileErrorReason.h"
#include "core/HashChain.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>

namespace miv::AuditChain {

namespace {

constexpr QByteArrayView linkMember = R"(,"chain":")";
constexpr QByteArrayView numberMember = R"(,"seq":)";
constexpr qint64 firstTailBlock = 4096;

// A line without its end ("\n" or "\r\n").
QByteArrayView lineText(QByteArrayView line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool isBlank(QByteArrayView text)
{
    return text.trimmed().isEmpty();
}

// The place a linked line's content ends with (`,"seq":N`); 0 when none.
qint64 numberAtEnd(QByteArrayView content)
{
    qsizetype digits = content.size();
    while (digits > 0 && content[digits - 1] >= '0' && content[digits - 1] <= '9')
        --digits;
    if (digits == content.size() || !content.first(digits).endsWith(numberMember))
        return 0;
    bool ok = false;
    const qint64 number = content.sliced(digits).toLongLong(&ok);
    return ok ? number : 0;
}

// The record of a linked line; nullopt for any other line.
std::optional<HashChain::Record> recordOf(QByteArrayView text)
{
    const qsizetype linkAt = text.size() - 2 - HashChain::linkSize;
    const qsizetype memberAt = linkAt - linkMember.size();
    if (memberAt < 1 || !text.endsWith("\"}")
        || text.sliced(memberAt, linkMember.size()) != linkMember)
        return std::nullopt;
    const QByteArrayView link = text.sliced(linkAt, HashChain::linkSize);
    if (!HashChain::isLink(link))
        return std::nullopt;
    const QByteArrayView content = text.first(memberAt);
    return HashChain::Record{link.toByteArray(), content.toByteArray(), numberAtEnd(content)};
}

// The chain after the linked line `at` of `lines`: the lines after it (cut
// off when written) taken in.
AuditChain::Tail tailAfter(const QList<QByteArray> &lines, qsizetype at,
                           const HashChain::Record &record)
{
    AuditChain::Tail tail{record.link, record.number + 1};
    for (qsizetype index = at + 1; index < lines.size(); ++index) {
        const QByteArrayView text = lineText(lines[index]);
        if (!isBlank(text))
            tail.link = HashChain::link(tail.link, text);
    }
    return tail;
}

} // namespace

std::optional<Tail> tailOf(QFile &file)
{
    const qint64 size = file.size();
    // Blocks ever larger back from the end, until one holds a whole linked
    // line or the file's start.
    for (qint64 block = firstTailBlock;; block *= 4) {
        const qint64 from = std::max<qint64>(0, size - block);
        if (!file.seek(from))
            return std::nullopt;
        const QByteArray bytes = file.read(size - from);
        if (bytes.size() != size - from)
            return std::nullopt;
        QList<QByteArray> lines = bytes.split('\n');
        if (from > 0)
            lines.removeFirst(); // may be the end of a line only
        const bool lineEndMissing = !bytes.isEmpty() && !bytes.endsWith('\n');
        for (qsizetype index = lines.size() - 1; index >= 0; --index) {
            if (const auto record = recordOf(lineText(lines[index]))) {
                Tail tail = tailAfter(lines, index, *record);
                tail.lineEndMissing = lineEndMissing;
                return tail;
            }
        }
        if (from == 0) // no line linked yet: the chain starts after them all
            return Tail{HashChain::startLink(lineEndMissing ? bytes + '\n' : bytes), 1,
                        lineEndMissing};
    }
}

QByteArray linkedLine(const QByteArray &entryJson, const Tail &tail)
{
    Q_ASSERT(entryJson.endsWith('}'));
    const QByteArray content =
            entryJson.chopped(1) + numberMember.toByteArray() + QByteArray::number(tail.number);
    return content + linkMember.toByteArray() + HashChain::link(tail.link, content) + "\"}";
}

namespace {

// One pass over a log's lines, to the first break.
class ChainWalk
{
public:
    explicit ChainWalk(QFile &file) : m_file(file) { }

    AuditChainCheck run()
    {
        while (!m_file.atEnd() && m_check.fault == AuditChainCheck::Fault::None) {
            const QByteArray line = m_file.readLine();
            ++m_lineNumber;
            if (m_started)
                take(line);
            else
                takeBeforeChain(line);
        }
        if (m_check.fault == AuditChainCheck::Fault::None && !m_cutLines.isEmpty())
            setFault(AuditChainCheck::Fault::Cut, m_cutLines.first(), m_cutText);
        if (m_check.fault == AuditChainCheck::Fault::None && m_started)
            m_check.head = m_reached;
        return m_check;
    }

private:
    void takeBeforeChain(const QByteArray &line)
    {
        const QByteArrayView text = lineText(line);
        if (recordOf(text)) {
            m_started = true;
            m_reached = m_before.result().toHex();
            take(line);
            return;
        }
        m_before.addData(line);
        if (!isBlank(text))
            ++m_check.older;
    }

    void take(const QByteArray &line)
    {
        const QByteArrayView text = lineText(line);
        if (isBlank(text))
            return;
        const std::optional<HashChain::Record> record = recordOf(text);
        if (!record) {
            takeUnlinked(text);
            return;
        }
        if (HashChain::follows(m_reached, *record)) {
            m_reached = record->link;
            m_expected = record->number + 1;
            ++m_check.linked;
            m_check.cutLines += m_cutLines;
            m_cutLines.clear();
            return;
        }
        if (!m_cutLines.isEmpty() && HashChain::follows(m_reachedBeforeCut, *record)) {
            // The line was written before the cut lines were there.
            setFault(AuditChainCheck::Fault::Inserted, m_cutLines.first(), m_cutText);
            return;
        }
        const qint64 lineNumber = m_lineNumber;
        const std::optional<HashChain::Record> next = nextRecord();
        const HashChain::Fault fault =
                HashChain::faultOf(m_reached, m_expected, *record, next ? &*next : nullptr);
        setFault(faultKind(fault), lineNumber, text.toByteArray());
        m_check.removed = fault == HashChain::Fault::Removed ? record->number - m_expected : 0;
        m_check.firstLinked = m_check.linked == 0;
    }

    // A line that a JSON reader takes was written whole, so without a link
    // by someone else; any other was cut off, and the chain goes over it.
    void takeUnlinked(QByteArrayView text)
    {
        if (QJsonDocument::fromJson(text.toByteArray()).isObject()) {
            setFault(AuditChainCheck::Fault::Unlinked, m_lineNumber, text.toByteArray());
            return;
        }
        if (m_cutLines.isEmpty()) {
            m_reachedBeforeCut = m_reached;
            m_cutText = text.toByteArray();
        }
        m_cutLines.append(m_lineNumber);
        m_reached = HashChain::link(m_reached, text);
    }

    // The next linked line after the break, if the next line is one.
    std::optional<HashChain::Record> nextRecord()
    {
        while (!m_file.atEnd()) {
            const QByteArray line = m_file.readLine();
            ++m_lineNumber;
            const QByteArrayView text = lineText(line);
            if (!isBlank(text))
                return recordOf(text);
        }
        return std::nullopt;
    }

    static AuditChainCheck::Fault faultKind(HashChain::Fault fault)
    {
        switch (fault) {
        case HashChain::Fault::Removed:
            return AuditChainCheck::Fault::Removed;
        case HashChain::Fault::Inserted:
            return AuditChainCheck::Fault::Inserted;
        case HashChain::Fault::Swapped:
            return AuditChainCheck::Fault::Swapped;
        case HashChain::Fault::Changed:
            break;
        }
        return AuditChainCheck::Fault::Changed;
    }

    void setFault(AuditChainCheck::Fault fault, qint64 line, const QByteArray &text)
    {
        m_check.fault = fault;
        m_check.line = line;
        m_check.lineText = text;
    }

    QFile &m_file;
    AuditChainCheck m_check;
    qint64 m_lineNumber = 0;
    bool m_started = false; // a linked line was met
    QCryptographicHash m_before{QCryptographicHash::Sha256}; // the bytes before the chain
    QByteArray m_reached; // the link the next line must follow
    qint64 m_expected = 1; // the next line's place
    QList<qint64> m_cutLines; // cut lines not yet followed by a linked one
    QByteArray m_cutText; // the first of them
    QByteArray m_reachedBeforeCut;
};

} // namespace

std::optional<AuditChainCheck> check(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return AuditChainCheck{};
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = fileErrorReason(file, lastSystemError());
        return std::nullopt;
    }
    return ChainWalk(file).run();
}

namespace {

// The line's number and what it is: when, which relay, what.
QString lineDescription(const AuditChainCheck &check)
{
    const std::optional<AuditEntry> entry = AuditLog::fromJsonLine(check.lineText);
    if (!entry)
        return QStringLiteral("%1 (неполная)").arg(check.line);
    return QStringLiteral("%1 (%2, адрес %3, реле №%4, %5)")
            .arg(QString::number(check.line),
                 entry->time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                 QString::number(entry->address), QString::number(entry->factoryNumber),
                 entry->item);
}

} // namespace

QString faultText(const AuditChainCheck &check)
{
    const QString line = QStringLiteral("строка ") + lineDescription(check);
    switch (check.fault) {
    case AuditChainCheck::Fault::None:
        return {};
    case AuditChainCheck::Fault::Changed:
        return check.firstLinked
                ? line
                        + QStringLiteral(
                                ", первая в цепочке, изменена, или изменены строки перед ней")
                : line + QStringLiteral(" изменена");
    case AuditChainCheck::Fault::Removed:
        return QStringLiteral("перед строкой ") + lineDescription(check)
                + QStringLiteral(" удалено строк: %1").arg(check.removed);
    case AuditChainCheck::Fault::Inserted:
        return line + QStringLiteral(" вставлена");
    case AuditChainCheck::Fault::Swapped:
        return line + QStringLiteral(" переставлена со следующей");
    case AuditChainCheck::Fault::Unlinked:
        return line
                + QStringLiteral(" без звена цепочки после строк со звеньями: вставлена или "
                                 "записана прежней версией программы");
    case AuditChainCheck::Fault::Cut:
        return line
                + QStringLiteral(" оборвана: журнал кончается неполной строкой (запись прервана "
                                 "или конец журнала отрезан)");
    }
    return {};
}

QString reportText(const AuditChainCheck &check)
{
    if (check.fault != AuditChainCheck::Fault::None)
        return QStringLiteral("Цепочка журнала нарушена: ") + faultText(check) + u'\n';
    QString text;
    for (const qint64 line : check.cutLines)
        text += QStringLiteral("Строка %1 оборвана при записи и заверена следующей строкой\n")
                        .arg(line);
    if (check.head.isEmpty())
        return text
                + QStringLiteral("В журнале нет строк с цепочкой; прежних строк: %1\n")
                          .arg(check.older);
    return text
            + QStringLiteral(
                      "Цепочка журнала цела: строк в цепочке %1, прежних строк перед ней %2\n"
                      "Вершина цепочки: %1 %3\n")
                      .arg(QString::number(check.linked), QString::number(check.older),
                           QString::fromLatin1(check.head));
}

QString brokenLogWarning(const AuditChainCheck &check)
{
    return QStringLiteral("Внимание: цепочка журнала записей нарушена: ") + faultText(check)
            + QStringLiteral(" (подробно: mivctl audit verify)");
}

} // namespace miv::AuditChain
