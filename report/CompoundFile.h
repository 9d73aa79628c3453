#pragma once

#include <QByteArray>
#include <QString>

namespace miv {

// The OLE2 compound file that holds an .xls workbook: version 3 (512-byte
// sectors), one stream beside the root entry. A stream shorter than the
// 4096-byte cutoff would belong in the mini stream, which this writer does
// not make; it pads such a stream with zero bytes up to the cutoff instead
// (readers stop at the workbook's last EOF record, so the padding is never read).
namespace CompoundFile {

// The largest stream the header's 109 FAT sector slots can address without
// DIFAT sectors (the FAT describes itself, the directory and the stream).
qint64 maximumStreamSize();

// The whole file with `stream` under `streamName` (at most 31 characters).
// An empty array with `error` set when the name or the size cannot be held;
// nothing partial is ever returned.
QByteArray singleStream(const QString &streamName, const QByteArray &stream,
                        QString *error = nullptr);

} // namespace CompoundFile

} // namespace miv
