#include "core/TimerSchedule.h"

#include "core/DigitText.h"
#include "core/ParameterCatalogue.h"
#include "core/RelayWords.h"

#include <QStringList>

namespace miv {

namespace {

// Bit of the switch word behind bu01..bu07.
constexpr std::array<int, TimerSchedule::buttonCount> buttonBits = {2, 1, 0, 5, 4, 3, 8};

} // namespace

TimerMark TimerMark::fromWord(quint16 word)
{
    TimerMark mark;
    mark.word = word;
    const int hour = highByte(word);
    const int minute = lowByte(word);
    mark.valid = hour <= 23 && minute <= 59;
    mark.time = mark.valid ? QTime(hour, minute) : QTime(0, 0);
    return mark;
}

std::array<TimerMark, TimerSchedule::markCount> TimerSchedule::unsetMarks()
{
    std::array<TimerMark, markCount> unset;
    for (TimerMark &mark : unset)
        mark.given = false;
    return unset;
}

int TimerSchedule::decodeMarks(const std::array<quint16, markCount> &words)
{
    int invalid = 0;
    m_readMarkWords = words;
    for (int i = 0; i < markCount; ++i) {
        marks[size_t(i)] = TimerMark::fromWord(words[size_t(i)]);
        if (!marks[size_t(i)].valid)
            ++invalid;
    }
    return invalid;
}

void TimerSchedule::decodeSwitches(quint16 word)
{
    m_readSwitchWord = word;
    for (int i = 0; i < buttonCount; ++i)
        buttons[size_t(i)] = onOffTexts[size_t((word >> buttonBits[size_t(i)]) & 1)];
}

quint16 TimerSchedule::switchWord() const
{
    auto digit = [this](int button) {
        return buttons[size_t(button - 1)] == onOffTexts[1] ? u'1' : u'0';
    };
    QString digits;
    for (int button : {7, 0, 0, 4, 5, 6, 1, 2, 3})
        digits += button == 0 ? u'0' : digit(button);
    return quint16(parseBinary(digits));
}

quint16 TimerSchedule::markWord(const QTime &time)
{
    return quint16(time.hour() * 256 + time.minute());
}

bool TimerSchedule::changedSinceRead() const
{
    if (!m_readSwitchWord)
        return false;
    for (int i = 0; i < markCount; ++i)
        if (marks[size_t(i)].word != m_readMarkWords[size_t(i)])
            return true;
    return switchWord() != *m_readSwitchWord;
}

QString TimerSchedule::invalidMarkList() const
{
    QStringList numbers;
    for (int i = 0; i < markCount; ++i)
        if (!marks[size_t(i)].valid)
            numbers << QString::number(i + 1);
    return numbers.join(QStringLiteral(", "));
}

} // namespace miv
