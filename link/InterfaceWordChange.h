#pragma once

#include "link/PortSettings.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace miv {

// The relay's interface word (register 65) changed to new line settings.
// The port's settings set three groups of the word: the speed (9600, 19200,
// 38400 bit/s), the parity (none, even, odd) and the stop bits (1, 2). Only
// those are replaced; every other bit of the relay's own word stays as the
// relay holds it: the data bits and the bits that carry nothing, and the
// 4800 bit while the port keeps 4800 bit/s (a speed the port sets clears it:
// a word names one speed).
namespace InterfaceWord {

// What a relay makes of a word: in each group the last set bit wins, as its
// own display reads it; a group without a set bit says nothing. The texts
// are those of "front.ini" ("19200", "Even", "8", "2").
struct Reading
{
    std::optional<int> baudRate;
    std::optional<QString> parity;
    std::optional<QString> dataBits;
    std::optional<QString> stopBits;
};
Reading read(quint16 word);

struct Change
{
    quint16 word = 0; // the relay's word with the port's groups replaced
    // Why the word cannot say the settings chosen, one sentence for each
    // setting it cannot say; empty when it says every one of them.
    QStringList reasons;
    bool expressible() const { return reasons.isEmpty(); }
};

// The word to write to a relay holding `relayWord` so that it runs at
// `chosen`. The change is refused (reasons) when the relay would then run
// at anything else than the port: a speed, parity or stop-bit setting the
// word has no bit for, or data bits other than those the relay's word holds.
Change change(quint16 relayWord, const PortSettings &chosen);

// The values the setup offers for a relay holding `relayWord` (none: no
// relay selected, every value of the lists): those the word can be set to,
// and the relay's own 4800 bit/s and data bits, which stay as they are.
struct Choices
{
    QStringList baudRates;
    QStringList dataBits;
    QStringList stopBits;
    QStringList parities;
    QString note; // why the lists are short; empty with no relay
};
Choices choices(std::optional<quint16> relayWord);

// "0x2844".
QString hex(quint16 word);

} // namespace InterfaceWord

} // namespace miv
