#include "registry/SettingsSource.h"

#include "config/ConfigWriter.h"
#include "config/SettingsFile.h"
#include "core/RegisterMap.h"
#include "link/IniFile.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"

#include <QDir>

namespace miv::SettingsContent {

namespace {

// The bits of a switch word that rows of a relay of this type set.
quint16 switchMask(int word, quint16 typeCode)
{
    quint16 mask = 0;
    for (const SwitchBit &bit : switchBits)
        if (bit.word == word
            && (bit.row != ConfigRow::tankAlgorithm || relayTypeHasTimer(typeCode)))
            mask |= quint16(1u << bit.bit);
    return mask;
}

quint16 timerSwitchMask()
{
    TimerSchedule all;
    all.buttons.fill(onOffTexts[1]);
    return all.switchWord();
}

// The keys a complete file holds for a relay of this type that it lacks.
QStringList missingKeys(const IniFile &file, const RelaySession &scratch)
{
    QStringList missing;
    for (int row = 0; row <= ConfigRow::lastSwitch; ++row) {
        const QString key = scratch.configGrid.text(row, ConfigGrid::Name);
        if (!file.hasKey(SettingsFile::parametersSection, key))
            missing << key;
    }
    if (!scratch.device.hasTimer())
        return missing;
    QStringList timerKeys{SettingsFile::timerKey};
    for (int mark = 1; mark <= TimerSchedule::markCount; ++mark)
        timerKeys << SettingsFile::markKey(mark);
    for (int interval = 1; interval < TimerSchedule::buttonCount; ++interval)
        timerKeys << SettingsFile::intervalKey(interval);
    for (const QString &key : timerKeys)
        if (!file.hasKey(SettingsFile::timersSection, key))
            missing << key;
    return missing;
}

// A disabled row keeps its value aside.
QString valueTextOf(const ConfigGrid &grid, int row)
{
    const QString saved = grid.text(row, ConfigGrid::SavedText);
    return saved.isEmpty() ? grid.text(row, ConfigGrid::Value) : saved;
}

} // namespace

SettingsRegisters settingsOnly(SettingsRegisters registers, quint16 typeCode)
{
    for (int word = 0; word < RelayRegister::switchWordCount; ++word) {
        const auto found = registers.find(quint16(RelayRegister::switchWords + word));
        if (found != registers.end())
            found->second &= switchMask(word, typeCode);
    }
    const auto timer = registers.find(RelayRegister::timerSwitches);
    if (timer != registers.end())
        timer->second &= timerSwitchMask();
    return registers;
}

std::optional<SettingsRegisters> fromSettingsFile(const QString &path, quint16 typeCode,
                                                  QString *error)
{
    const auto fail = [error](const QString &reason) -> std::optional<SettingsRegisters> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    RelayBus idle; // no port: the scratch session never talks to a relay
    RelaySession scratch(idle);
    scratch.device.typeCode = typeCode;
    scratch.decimalSeparator = u'.';
    scratch.configGrid.fillFromCatalogue(scratch.catalogue);
    const QString name = QDir::toNativeSeparators(path);
    // Loaded first, as a load into the grid would be: a file that is not
    // there, or no settings file, is told so (a missing file would read as
    // one with no values at all).
    const SettingsFile::LoadResult loaded = SettingsFile::load(path, scratch);
    if (!loaded.loaded())
        return fail(loaded.error);
    IniFile file(path);
    QString readError;
    if (!file.load(&readError))
        return fail(readError.isEmpty() ? name : readError);
    const QStringList missing = missingKeys(file, scratch);
    if (!missing.isEmpty())
        return fail(QStringLiteral("В файле %1 нет значений: %2").arg(name, missing.join(u", ")));
    if (!loaded.rejectedKeys.isEmpty())
        return fail(QStringLiteral("Файл %1 содержит недопустимые значения: %2")
                            .arg(name, loaded.rejectedKeys.join(u", ")));
    SettingsRegisters registers;
    for (int row = 0; row <= ConfigRow::lastNumeric; ++row) {
        const auto raw = parseValue(scratch.catalogue.step(row),
                                    valueTextOf(scratch.configGrid, row), scratch.decimalSeparator);
        if (!raw)
            return fail(QStringLiteral("Файл %1 содержит недопустимые значения: %2")
                                .arg(name, scratch.configGrid.text(row, ConfigGrid::Name)));
        registers[scratch.catalogue.registerAddress(row)] = *raw;
    }
    for (int word = 0; word < RelayRegister::switchWordCount; ++word)
        registers[quint16(RelayRegister::switchWords + word)] =
                switchWord(scratch.configGrid, word);
    if (scratch.device.hasTimer()) {
        for (int mark = 0; mark < TimerSchedule::markCount; ++mark)
            registers[quint16(RelayRegister::firstTimerMark + mark)] =
                    TimerSchedule::markWord(scratch.timer.marks[size_t(mark)].time);
        registers[RelayRegister::timerSwitches] = scratch.timer.switchWord();
    }
    return settingsOnly(registers, typeCode);
}

} // namespace miv::SettingsContent
