#include "core/HashChain.h"

#include <QCryptographicHash>

namespace miv::HashChain {

QByteArray link(QByteArrayView previous, QByteArrayView content)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(previous);
    hash.addData(content);
    return hash.result().toHex();
}

QByteArray startLink(QByteArrayView before)
{
    return QCryptographicHash::hash(before, QCryptographicHash::Sha256).toHex();
}

bool isLink(QByteArrayView text)
{
    if (text.size() != linkSize)
        return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

bool follows(QByteArrayView previous, const Record &record)
{
    return link(previous, record.content) == record.link;
}

Fault faultOf(QByteArrayView reached, qint64 expected, const Record &record, const Record *next)
{
    // The chain goes on past the record as if it were not there: it was put
    // in, unless it belongs right after the next one.
    if (next && follows(reached, *next))
        return follows(next->link, record) ? Fault::Swapped : Fault::Inserted;
    // Its own number tells a gap (records taken out before it) from an
    // earlier record copied in; the same number, its content or link changed.
    if (record.number > expected)
        return Fault::Removed;
    if (record.number < expected)
        return Fault::Inserted;
    return Fault::Changed;
}

} // namespace miv::HashChain
