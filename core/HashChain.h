#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace miv {

// A hash chain over records kept in order (the audit log's lines, the
// register's rows): each record carries a link, the SHA-256 of the link
// before it and the record's canonical content, so that a record changed,
// inserted, removed or moved breaks every link from it on. Whoever can
// compute SHA-256 can also rebuild a tail; only a head written down elsewhere
// (on a printed report) shows that. Links are 64 lower-case hex digits.
namespace HashChain {

inline constexpr qsizetype linkSize = 64;

// The link of a record: hex SHA-256 of `previous` (a link: fixed size, so
// nothing of it can shift into the content) followed by `content`.
QByteArray link(QByteArrayView previous, QByteArrayView content);
// The link the first record follows: hex SHA-256 of whatever stands before
// the chain (empty for a new one), so that older records taken as they are
// cannot change unseen either.
QByteArray startLink(QByteArrayView before);
// Whether `text` has the form of a link.
bool isLink(QByteArrayView text);

// A record as it is found: its link, its content and its place in the chain
// (1 for the first record; one more for each after it).
struct Record
{
    QByteArray link;
    QByteArray content;
    qint64 number = 0;
};

// Whether `record` is the one that follows the link `previous`.
bool follows(QByteArrayView previous, const Record &record);

// What became of the chain where `record` does not follow `reached`, the
// link of the last record that did (or the start link) and whose place was
// `expected` - 1. `next` is the record found after it, or null at the end.
// Said for the first record of the break; a rebuilt tail is not seen.
enum class Fault {
    Changed, // the record's content, or its link, is not what was written
    Removed, // records before it are missing (expected .. record.number - 1)
    Inserted, // the record was not written there: the next follows the one before it
    Swapped, // the record and the next changed places
};
Fault faultOf(QByteArrayView reached, qint64 expected, const Record &record, const Record *next);

} // namespace HashChain

} // namespace miv
