#pragma once

#include <array>
#include <optional>
#include <QString>
#include <QTime>

namespace miv {

// One time mark of the daily timer as the relay holds it: hour in the high
// byte, minute in the low byte.
struct TimerMark
{
    QTime time{0, 0}; // what the picker shows; 00:00 for a word that is no time
    quint16 word = 0; // the register value as read
    bool valid = true; // false: hour above 23 or minute above 59
    bool given = true; // false: neither read nor given by a file or the operator yet (shown empty)

    static TimerMark fromWord(quint16 word);
};

// The timer schedule of a type-6 relay: five marks cutting the day into six
// intervals, a switch per interval and the timer switch. Owned by the data
// module, shown by the timer tab, filled by the configuration read.
class TimerSchedule
{
public:
    static constexpr int markCount = 5;
    static constexpr int buttonCount = 7; // bu01..bu06 intervals, bu07 the timer

    std::array<TimerMark, markCount> marks = unsetMarks();
    std::array<QString, buttonCount> buttons; // "вкл." / "откл."; empty before the first read

    // Five marks nobody gave yet.
    static std::array<TimerMark, markCount> unsetMarks();

    // Whether switches were read (the write and the toggling need it).
    bool hasBeenRead() const { return !buttons[buttonCount - 1].isEmpty(); }

    // Marks 1-5 from their register words.
    // Returns how many of them were no valid time (those show 00:00, flagged).
    int decodeMarks(const std::array<quint16, markCount> &words);
    // Captions of bu01..bu07 from the switch word.
    void decodeSwitches(quint16 word);

    // The switch word from the captions: bu07, 0, 0, bu04, bu05, bu06, bu01,
    // bu02, bu03, most significant first; a bit is 1 exactly for "вкл.".
    quint16 switchWord() const;
    // hour × 256 + minute.
    static quint16 markWord(const QTime &time);

    // The numbers (1-5) of the marks that are no valid time, as "2, 4".
    QString invalidMarkList() const;

    // Whether the schedule differs from what the relay reported at the last
    // read (false before any read).
    bool changedSinceRead() const;

    // What the relay reported at the last read: mark i (0-4) and the switch
    // word; 0 and nullopt before any read.
    quint16 readMarkWord(int i) const
    {
        return i >= 0 && i < markCount ? m_readMarkWords[size_t(i)] : 0;
    }
    std::optional<quint16> readSwitchWord() const { return m_readSwitchWord; }

private:
    std::array<quint16, markCount> m_readMarkWords{};
    std::optional<quint16> m_readSwitchWord;
};

} // namespace miv
