#include "registry/SettingsContent.h"

#include "config/SettingsFile.h"
#include "core/CurrentDevice.h"
#include "core/ParameterCatalogue.h"
#include "core/RegisterMap.h"
#include "core/Texts.h"
#include "core/TimerSchedule.h"
#include "core/ValueFormat.h"

#include <algorithm>
#include <QCryptographicHash>

namespace miv::SettingsContent {

namespace {

std::optional<quint16> valueAt(const SettingsRegisters &registers, quint16 reg)
{
    const auto found = registers.find(reg);
    if (found == registers.end())
        return std::nullopt;
    return found->second;
}

QString markText(quint16 word)
{
    const TimerMark mark = TimerMark::fromWord(word);
    return mark.valid ? mark.time.toString(QStringLiteral("HH:mm"))
                      : QStringLiteral("0x%1").arg(word, 4, 16, QLatin1Char('0'));
}

void addTimerItems(QList<SettingsItem> &items, const SettingsRegisters &registers)
{
    for (int mark = 1; mark <= TimerSchedule::markCount; ++mark) {
        const auto word = valueAt(registers, quint16(RelayRegister::firstTimerMark + mark - 1));
        items.append({-1, SettingsFile::markKey(mark), word ? markText(*word) : QString()});
    }
    const auto switches = valueAt(registers, RelayRegister::timerSwitches);
    TimerSchedule timer;
    if (switches)
        timer.decodeSwitches(*switches);
    for (int button = 1; button <= TimerSchedule::buttonCount; ++button)
        items.append({-1,
                      button < TimerSchedule::buttonCount ? SettingsFile::intervalKey(button)
                                                          : SettingsFile::timerKey,
                      timer.buttons[size_t(button - 1)]});
}

} // namespace

QString canonicalText(const SettingsRegisters &registers)
{
    QStringList parts;
    for (const auto &[reg, value] : registers)
        parts << QStringLiteral("%1=%2").arg(reg, 4, 16, QLatin1Char('0')).toUpper().arg(value);
    return parts.join(u';');
}

std::optional<SettingsRegisters> fromCanonicalText(const QString &text)
{
    SettingsRegisters registers;
    if (text.isEmpty())
        return registers;
    for (const QString &part : text.split(u';')) {
        const qsizetype equals = part.indexOf(u'=');
        bool regOk = false;
        bool valueOk = false;
        const uint reg = part.left(equals).toUInt(&regOk, 16);
        const uint value = part.mid(equals + 1).toUInt(&valueOk);
        if (equals < 0 || !regOk || !valueOk || reg > 0xFFFF || value > 0xFFFF)
            return std::nullopt;
        registers[quint16(reg)] = quint16(value);
    }
    return registers;
}

QString digest(quint16 typeCode, const SettingsRegisters &registers)
{
    const QByteArray text =
            QStringLiteral("%1|%2").arg(typeCode).arg(canonicalText(registers)).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex());
}

QList<SettingsItem> items(const SettingsRegisters &registers, quint16 typeCode,
                          QChar decimalSeparator)
{
    ParameterCatalogue catalogue;
    const auto ratio = valueAt(registers, catalogue.registerAddress(ConfigRow::ratio));
    if (ratio)
        catalogue.applyRatio(*ratio);
    QList<SettingsItem> items;
    for (int row = 0; row <= ConfigRow::lastNumeric; ++row) {
        const auto raw = valueAt(registers, catalogue.registerAddress(row));
        items.append({row, catalogue.record(row).name,
                      raw ? formatValue(catalogue.step(row), *raw, decimalSeparator) : QString()});
    }
    for (const SwitchBit &bit : switchBits) {
        const auto word = valueAt(registers, quint16(RelayRegister::switchWords + bit.word));
        QString text;
        if (bit.row == ConfigRow::tankAlgorithm && !relayTypeHasTimer(typeCode))
            text = Texts::functionOff;
        else if (word)
            text = onOffTexts[size_t((*word >> bit.bit) & 1)];
        items.append({bit.row, catalogue.record(bit.row).name, text});
    }
    std::sort(items.begin(), items.end(),
              [](const SettingsItem &a, const SettingsItem &b) { return a.row < b.row; });
    if (relayTypeHasTimer(typeCode))
        addTimerItems(items, registers);
    return items;
}

QList<SettingsChange> changes(const SettingsRegisters &before, const SettingsRegisters &after,
                              quint16 typeCode, QChar decimalSeparator)
{
    const QList<SettingsItem> first = items(before, typeCode, decimalSeparator);
    const QList<SettingsItem> second = items(after, typeCode, decimalSeparator);
    QList<SettingsChange> result;
    for (qsizetype i = 0; i < first.size() && i < second.size(); ++i)
        if (first[i].text != second[i].text)
            result.append({first[i].row, first[i].name, first[i].text, second[i].text});
    return result;
}

} // namespace miv::SettingsContent
