#include "report/CompoundFile.h"

#include <QtEndian>
#include <cstring>

namespace miv {

namespace CompoundFile {
namespace {

constexpr int sectorSize = 512;
constexpr int entriesPerFatSector = sectorSize / 4;
constexpr int headerFatSlots = 109;
constexpr int miniStreamCutoff = 4096;
constexpr int directoryEntrySize = 128;
constexpr quint32 freeSector = 0xFFFFFFFF;
constexpr quint32 endOfChain = 0xFFFFFFFE;
constexpr quint32 fatSector = 0xFFFFFFFD;
constexpr quint32 noStream = 0xFFFFFFFF;

void put16(QByteArray &bytes, qsizetype at, quint16 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

void put32(QByteArray &bytes, qsizetype at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

// One 128-byte directory entry; an empty name gives an unused entry.
QByteArray directoryEntry(const QString &name, quint8 type, quint32 child, quint32 start,
                          quint32 size)
{
    QByteArray entry(directoryEntrySize, '\0');
    if (!name.isEmpty()) {
        for (qsizetype i = 0; i < name.size(); ++i)
            put16(entry, i * 2, name.at(i).unicode());
        put16(entry, 64, quint16((name.size() + 1) * 2)); // with the terminating zero
        entry[66] = char(type);
        entry[67] = 1; // black: the red-black tree of one child is trivially valid
    }
    put32(entry, 68, noStream); // left sibling
    put32(entry, 72, noStream); // right sibling
    put32(entry, 76, child);
    put32(entry, 116, start);
    put32(entry, 120, size); // the upper half of the size stays zero in version 3
    return entry;
}

// FAT sectors needed for `dataSectors` stream and directory sectors plus the FAT itself.
int fatSectorsFor(qint64 dataSectors)
{
    int fat = 1;
    while (qint64(fat) * entriesPerFatSector < dataSectors + fat)
        ++fat;
    return fat;
}

} // namespace

qint64 maximumStreamSize()
{
    // 109 FAT sectors describe 109 * 128 sectors: themselves, one directory sector and the stream.
    return qint64(headerFatSlots * entriesPerFatSector - headerFatSlots - 1) * sectorSize;
}

QByteArray singleStream(const QString &streamName, const QByteArray &stream, QString *error)
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return QByteArray();
    };
    if (streamName.isEmpty() || streamName.size() > 31)
        return fail(QStringLiteral("Имя потока \"%1\" не от 1 до 31 символа").arg(streamName));
    if (stream.size() > maximumStreamSize())
        return fail(QStringLiteral("Поток \"%1\" в %2 байт больше предела %3 байт")
                            .arg(streamName)
                            .arg(stream.size())
                            .arg(maximumStreamSize()));

    QByteArray body = stream;
    if (body.size() < miniStreamCutoff)
        body.append(QByteArray(miniStreamCutoff - body.size(), '\0'));
    const qint64 streamSectors = (body.size() + sectorSize - 1) / sectorSize;
    body.append(QByteArray(streamSectors * sectorSize - body.size(), '\0'));

    // Sectors: the stream, then the directory, then the FAT.
    const quint32 directorySector = quint32(streamSectors);
    const int fatCount = fatSectorsFor(streamSectors + 1);
    Q_ASSERT(fatCount <= headerFatSlots); // guaranteed by maximumStreamSize()

    QByteArray fat(fatCount * sectorSize, '\xFF'); // every slot free to begin with
    for (qint64 s = 0; s < streamSectors; ++s)
        put32(fat, s * 4, s + 1 < streamSectors ? quint32(s + 1) : endOfChain);
    put32(fat, directorySector * 4, endOfChain);
    for (int f = 0; f < fatCount; ++f)
        put32(fat, (directorySector + 1 + f) * 4, fatSector);

    QByteArray directory;
    directory += directoryEntry(QStringLiteral("Root Entry"), 5, 1, endOfChain, 0);
    directory += directoryEntry(
            streamName, 2, noStream, 0,
            quint32(stream.size() < miniStreamCutoff ? miniStreamCutoff : stream.size()));
    directory += directoryEntry(QString(), 0, noStream, 0, 0);
    directory += directoryEntry(QString(), 0, noStream, 0, 0);

    QByteArray header(sectorSize, '\0');
    const char signature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    std::memcpy(header.data(), signature, 8);
    put16(header, 24, 0x003E); // minor version
    put16(header, 26, 0x0003); // major version 3: 512-byte sectors
    put16(header, 28, 0xFFFE); // little-endian
    put16(header, 30, 9); // sector size 2^9
    put16(header, 32, 6); // mini sector size 2^6
    put32(header, 44, quint32(fatCount));
    put32(header, 48, directorySector);
    put32(header, 56, miniStreamCutoff);
    put32(header, 60, endOfChain); // no mini FAT
    put32(header, 64, 0);
    put32(header, 68, endOfChain); // no DIFAT sectors
    put32(header, 72, 0);
    for (int slot = 0; slot < headerFatSlots; ++slot)
        put32(header, 76 + slot * 4,
              slot < fatCount ? directorySector + 1 + quint32(slot) : freeSector);

    return header + body + directory + fat;
}

} // namespace CompoundFile

} // namespace miv
