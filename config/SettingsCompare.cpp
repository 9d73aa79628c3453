#include "config/SettingsCompare.h"

#include "config/ConfigValidation.h"
#include "config/SettingsFile.h"
#include "link/IniFile.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"

namespace miv {

namespace {

constexpr int comparedRows = ConfigRow::lastSwitch + 1; // rows 0-31, as the file holds them

// A row's value, also of a disabled row, which keeps it aside.
QString valueTextOf(const ConfigGrid &grid, int row)
{
    const QString saved = grid.text(row, ConfigGrid::SavedText);
    return saved.isEmpty() ? grid.text(row, ConfigGrid::Value) : saved;
}

QString markText(const TimerMark &mark)
{
    return mark.valid ? mark.time.toString(QStringLiteral("HH:mm"))
                      : QStringLiteral("0x%1").arg(mark.word, 4, 16, QLatin1Char('0'));
}

class Comparing
{
public:
    Comparing(const RelaySession &session, const IniFile &file,
              const SettingsFile::LoadResult &loaded, const RelaySession &scratch)
        : m_session(session), m_file(file), m_rejected(loaded.rejectedKeys), m_scratch(scratch)
    { }

    QList<SettingsDifference> run()
    {
        for (int row = 0; row < comparedRows; ++row)
            compareRow(row);
        if (m_session.device.hasTimer())
            compareTimer();
        return m_differences;
    }

private:
    void add(SettingsDifference::Kind kind, int row, const QString &item, const QString &relayText,
             const QString &fileText)
    {
        m_differences.append({kind, row, item, relayText, fileText});
    }

    // Whether the key is missing or rejected; such a key is listed as such.
    bool listedAsMissingOrRejected(int row, const QString &section, const QString &key,
                                   const QString &relayText)
    {
        if (!m_file.hasKey(section, key)) {
            add(SettingsDifference::Kind::NotInFile, row, key, relayText, {});
            return true;
        }
        if (m_rejected.contains(key)) {
            add(SettingsDifference::Kind::Rejected, row, key, relayText,
                m_file.value(section, key));
            return true;
        }
        return false;
    }

    void compareRow(int row)
    {
        const QString key = m_session.configGrid.text(row, ConfigGrid::Name);
        const QString relayText = m_session.configGrid.relayText(row);
        if (key.isEmpty()
            || listedAsMissingOrRejected(row, SettingsFile::parametersSection, key, relayText))
            return;
        const QString fileText = valueTextOf(m_scratch.configGrid, row);
        if (fileText != relayText)
            add(SettingsDifference::Kind::Differs, row, key, relayText, fileText);
    }

    void compareTimer()
    {
        const TimerSchedule &relay = m_session.timer;
        for (int mark = 1; mark <= TimerSchedule::markCount; ++mark) {
            const QString key = SettingsFile::markKey(mark);
            const TimerMark relayMark = TimerMark::fromWord(relay.readMarkWord(mark - 1));
            if (listedAsMissingOrRejected(-1, SettingsFile::timersSection, key,
                                          markText(relayMark)))
                continue;
            const QTime fileTime = m_scratch.timer.marks[size_t(mark - 1)].time;
            // The relay keeps hours and minutes: seconds in the file are not written.
            if (!relayMark.valid || TimerSchedule::markWord(fileTime) != relayMark.word)
                add(SettingsDifference::Kind::Differs, -1, key, markText(relayMark),
                    fileTime.toString(QStringLiteral("HH:mm")));
        }
        TimerSchedule relaySwitches;
        if (relay.readSwitchWord())
            relaySwitches.decodeSwitches(*relay.readSwitchWord());
        for (int button = 1; button <= TimerSchedule::buttonCount; ++button) {
            const QString key = button < TimerSchedule::buttonCount
                    ? SettingsFile::intervalKey(button)
                    : SettingsFile::timerKey;
            const QString relayText = relaySwitches.buttons[size_t(button - 1)];
            if (listedAsMissingOrRejected(-1, SettingsFile::timersSection, key, relayText))
                continue;
            const QString fileText = m_scratch.timer.buttons[size_t(button - 1)];
            if (fileText != relayText)
                add(SettingsDifference::Kind::Differs, -1, key, relayText, fileText);
        }
    }

    const RelaySession &m_session;
    const IniFile &m_file;
    const QStringList m_rejected;
    const RelaySession &m_scratch;
    QList<SettingsDifference> m_differences;
};

// The scratch session the file is loaded into: the relay's values as read,
// the relay's type and ratio, nothing of the session's own edits.
void prepareScratch(const RelaySession &session, RelaySession &scratch)
{
    scratch.device = session.device;
    scratch.catalogue = session.catalogue;
    scratch.decimalSeparator = session.decimalSeparator;
    const ConfigGrid &grid = session.configGrid;
    if (const auto ratio = ConfigValidation::ratioFromText(grid.relayText(ConfigRow::ratio),
                                                           session.decimalSeparator))
        scratch.catalogue.applyRatio(*ratio);
    scratch.configGrid.fillFromCatalogue(scratch.catalogue);
    for (int row = 0; row < ConfigRow::count; ++row) {
        scratch.configGrid.setText(row, ConfigGrid::Value, grid.relayText(row));
        scratch.configGrid.setRelayText(row, grid.relayText(row));
    }
    scratch.timer = session.timer;
}

} // namespace

bool comparisonPossible(const RelaySession &session)
{
    return !session.configGrid.relayText(ConfigRow::ratio).isEmpty();
}

SettingsComparison compareWithFile(const RelaySession &session, const QString &path)
{
    SettingsComparison result;
    if (!comparisonPossible(session)) {
        result.outcome = SettingsComparison::Outcome::NothingRead;
        return result;
    }
    RelayBus idle; // no port: the scratch session never talks to a relay
    RelaySession scratch(idle);
    prepareScratch(session, scratch);
    const SettingsFile::LoadResult loaded = SettingsFile::load(path, scratch);
    if (!loaded.loaded()) {
        result.error = loaded.error;
        return result;
    }
    IniFile file(path);
    file.load();
    result.outcome = SettingsComparison::Outcome::Compared;
    result.differences = Comparing(session, file, loaded, scratch).run();
    return result;
}

QString differenceKindText(SettingsDifference::Kind kind)
{
    switch (kind) {
    case SettingsDifference::Kind::Differs:
        return QStringLiteral("Отличается");
    case SettingsDifference::Kind::NotInFile:
        return QStringLiteral("Нет в файле");
    case SettingsDifference::Kind::Rejected:
        return QStringLiteral("Не принимается");
    }
    return {};
}

} // namespace miv
