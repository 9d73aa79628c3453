#include "config/SettingsFile.h"

#include "config/AllowedRange.h"
#include "config/ConfigValidation.h"
#include "core/DependentRowRule.h"
#include "core/Operator.h"
#include "core/Texts.h"
#include "link/IniFile.h"
#include "link/RelaySession.h"

#include <array>
#include <optional>
#include <QFileInfo>
#include <QRegularExpression>

namespace miv {

namespace SettingsFile {
namespace {

constexpr int savedRows = ConfigRow::lastSwitch + 1; // rows 0-31; 32 and 33 never
const QString timeFormat = QStringLiteral("HH:mm:ss");
const QString readFailed = QStringLiteral("Не удалось прочитать файл настроек %1: %2");
const QString missingFile = QStringLiteral("файл не найден");
const QString directoryFile = QStringLiteral("это каталог");
// A file with neither section is no settings file (another file, or one saved
// in another encoding): loading it would mark every row with nothing in it.
const QString noSettings = QStringLiteral("в нём нет разделов [%1] и [%2]; это не файл настроек");

// ---- Saving ----

QString savedValue(const ConfigGrid &grid, int row)
{
    // A disabled row shows the disabled text; the file keeps its real value.
    const QString aside = grid.text(row, ConfigGrid::SavedText);
    return aside.isEmpty() ? grid.text(row, ConfigGrid::Value) : aside;
}

void writeParameters(IniFile &file, const ConfigGrid &grid)
{
    for (int row = 0; row < savedRows; ++row) {
        // A row without a value (a file opened with none for it) keeps what the
        // file holds: an empty value would be refused when the file is loaded.
        const QString value = savedValue(grid, row);
        if (!value.isEmpty())
            file.setValue(parametersSection, grid.text(row, ConfigGrid::Name), value);
    }
}

void writeTimers(IniFile &file, const TimerSchedule &timer)
{
    for (int mark = 1; mark <= TimerSchedule::markCount; ++mark)
        file.setValue(timersSection, markKey(mark),
                      timer.marks[size_t(mark - 1)].time.toString(timeFormat));
    for (int interval = 1; interval < TimerSchedule::buttonCount; ++interval)
        file.setValue(timersSection, intervalKey(interval), timer.buttons[size_t(interval - 1)]);
    file.setValue(timersSection, timerKey, timer.buttons[TimerSchedule::buttonCount - 1]);
}

// ---- Loading ----

bool isCaption(const QString &text)
{
    return text.isEmpty() || text == onOffTexts[0] || text == onOffTexts[1];
}

// What the file says about one parameter row.
struct RowPlan
{
    enum class Kind { Missing, Take, LeaveAsIs, Rejected };
    Kind kind = Kind::Missing;
    QString text; // Take: the value as the grid shows it; LeaveAsIs: what the relay shows there;
                  // Missing: a current row's kept value at the file's resolution, when it reads
                  // otherwise
};

class Loading
{
public:
    Loading(const IniFile &file, RelaySession &session) : m_file(file), m_session(session) { }

    QStringList run()
    {
        planParameters();
        applyParameters();
        applyTimers();
        return m_rejected;
    }

    // Each rejected value with what is allowed, in the order of run()'s keys.
    const QStringList &rejectedValues() const { return m_rejectedValues; }

private:
    QString keyOf(int row) const { return m_session.configGrid.text(row, ConfigGrid::Name); }

    bool hasKey(const QString &key) const { return m_file.hasKey(parametersSection, key); }

    // The ratio rows 1 and 2 follow: the file's own when it sets a valid one,
    // else the one the grid keeps (row 0 does not change then).
    std::optional<int> effectiveRatio(const RowPlan &ratioPlan) const
    {
        const QString text = ratioPlan.kind == RowPlan::Kind::Take
                ? ratioPlan.text
                : m_session.configGrid.text(ConfigRow::ratio, ConfigGrid::Value);
        return ConfigValidation::ratioFromText(text, m_session.decimalSeparator);
    }

    RowPlan plan(int row, std::optional<int> ratio) const
    {
        const QString key = keyOf(row);
        if (key.isEmpty() || !hasKey(key))
            return {};
        const ConfigValidation::RowCheck check = ConfigValidation::checkRow(
                m_session.catalogue, row, m_file.value(parametersSection, key), ratio,
                m_session.device.typeCode, m_session.decimalSeparator);
        switch (check.verdict) {
        case ConfigValidation::Verdict::Accepted:
            return {RowPlan::Kind::Take, check.text};
        case ConfigValidation::Verdict::LeaveAsIs:
            return {RowPlan::Kind::LeaveAsIs, check.text};
        case ConfigValidation::Verdict::Rejected:
            break;
        }
        return {RowPlan::Kind::Rejected, {}};
    }

    void planParameters()
    {
        m_plans[ConfigRow::ratio] = plan(ConfigRow::ratio, std::nullopt);
        const std::optional<int> ratio = effectiveRatio(m_plans[ConfigRow::ratio]);
        for (int row = ConfigRow::ratio + 1; row < savedRows; ++row)
            m_plans[size_t(row)] = plan(row, ratio);
        if (m_plans[ConfigRow::ratio].kind == RowPlan::Kind::Take)
            rejectKeptCurrentsOutsideRatio(ratio);
        // The resolution rows 1 and 2 are shown, edited and written in from now on.
        if (ratio)
            m_session.catalogue.applyRatio(*ratio);
        for (int row = 0; row < savedRows; ++row)
            if (m_plans[size_t(row)].kind == RowPlan::Kind::Rejected) {
                m_rejected << keyOf(row);
                m_rejectedValues << Texts::rowValueRefused.arg(row).arg(
                        keyOf(row), m_file.value(parametersSection, keyOf(row)),
                        AllowedRange::text(m_session.catalogue, row, ratio,
                                           m_session.decimalSeparator));
            }
    }

    // A current row (1 or 2) that the file leaves out keeps its value, which
    // must still fit the ratio the file sets. One that does not is not taken
    // either: the operator is told, and no value outside the row's limits is
    // marked for writing, nor saved into a file that would refuse it.
    void rejectKeptCurrentsOutsideRatio(std::optional<int> ratio)
    {
        const ConfigGrid &grid = m_session.configGrid;
        for (int row : {ConfigRow::nominalCurrent, ConfigRow::secondStageCurrent}) {
            const QString aside = grid.text(row, ConfigGrid::SavedText);
            const QString kept = aside.isEmpty() ? grid.text(row, ConfigGrid::Value) : aside;
            if (m_plans[size_t(row)].kind != RowPlan::Kind::Missing || kept.isEmpty())
                continue;
            const ConfigValidation::RowCheck check = ConfigValidation::checkRow(
                    m_session.catalogue, row, kept, ratio, m_session.device.typeCode,
                    m_session.decimalSeparator);
            if (check.verdict == ConfigValidation::Verdict::Rejected)
                m_plans[size_t(row)] = {RowPlan::Kind::Rejected, {}};
            else if (check.text != kept)
                m_plans[size_t(row)].text =
                        check.text; // the same value at the new resolution ("25,0" as "25")
        }
    }

    void applyParameters()
    {
        ConfigGrid &grid = m_session.configGrid;
        // Every dependent row comes back first, so that a loaded value lands in
        // column 2 and is what is edited and saved; the switches as loaded then
        // disable the rows they turn off, with the loaded value put aside.
        for (const DependentRowRule &rule : dependentRowRules)
            for (int row : rule.dependentRows())
                grid.enableRow(row);
        for (int row = 0; row < savedRows; ++row) {
            const RowPlan &plan = m_plans[size_t(row)];
            if (plan.kind == RowPlan::Kind::Rejected)
                continue; // keeps its text and its mark state
            if (plan.kind == RowPlan::Kind::Take
                || (plan.kind == RowPlan::Kind::Missing && !plan.text.isEmpty()))
                grid.setText(row, ConfigGrid::Value, plan.text);
            // A row left as it is keeps what the reading put there; before any
            // reading it is empty, and an empty value saved would be refused
            // by the next load: it shows what the relay would show.
            if (plan.kind == RowPlan::Kind::LeaveAsIs
                && grid.text(row, ConfigGrid::Value).isEmpty())
                grid.setText(row, ConfigGrid::Value, plan.text);
            grid.mark(row);
        }
        grid.applySwitches();
    }

    void applyTimers()
    {
        TimerSchedule &timer = m_session.timer;
        for (int mark = 1; mark <= TimerSchedule::markCount; ++mark) {
            // A mark the file leaves out stays as it is, as a missing row does.
            if (!m_file.hasKey(timersSection, markKey(mark)))
                continue;
            const QString text = m_file.value(timersSection, markKey(mark));
            const std::optional<QTime> time = parseTimeOfDay(text);
            if (!time) {
                m_rejected << markKey(mark); // the mark stays as it was
                m_rejectedValues << Texts::timerValueRefused.arg(markKey(mark), text,
                                                                 Texts::timerMarkRange);
                continue;
            }
            timer.marks[size_t(mark - 1)] = {*time, TimerSchedule::markWord(*time), true};
        }
        for (int button = 1; button <= TimerSchedule::buttonCount; ++button) {
            const QString key =
                    button < TimerSchedule::buttonCount ? intervalKey(button) : timerKey;
            if (!m_file.hasKey(timersSection, key))
                continue;
            const QString caption = m_file.value(timersSection, key);
            if (!isCaption(caption)) {
                m_rejected << key;
                m_rejectedValues << Texts::timerValueRefused.arg(key, caption,
                                                                 AllowedRange::switchText());
                continue;
            }
            timer.buttons[size_t(button - 1)] = caption;
        }
    }

    const IniFile &m_file;
    RelaySession &m_session;
    std::array<RowPlan, savedRows> m_plans;
    QStringList m_rejected;
    QStringList m_rejectedValues;
};

// What the file gives that only a МИВ-06 takes, as a file saved from a
// МИВ-04 never does: a timer caption or a mark other than 00:00, row 31 on or off.
SettingsTypeFit::Content typeSixContent(const IniFile &file)
{
    SettingsTypeFit::Content content;
    for (int mark = 1; mark <= TimerSchedule::markCount; ++mark) {
        const std::optional<QTime> time = parseTimeOfDay(file.value(timersSection, markKey(mark)));
        content.timer = content.timer || (time && *time != QTime(0, 0));
    }
    for (int button = 1; button <= TimerSchedule::buttonCount; ++button) {
        const QString key = button < TimerSchedule::buttonCount ? intervalKey(button) : timerKey;
        content.timer = content.timer || !file.value(timersSection, key).trimmed().isEmpty();
    }
    const QString tank = file.value(parametersSection,
                                    ParameterCatalogue::defaults()[ConfigRow::tankAlgorithm].name)
                                 .trimmed();
    content.tankAlgorithm = tank == onOffTexts[0] || tank == onOffTexts[1];
    return content;
}

// Reads the file; a file that is missing or cannot be read is an error here
// (IniFile takes a missing file for an empty one, which suits saving only).
bool readFile(IniFile &file, QString *error)
{
    const QFileInfo info(file.path());
    if (!info.exists()) {
        *error = readFailed.arg(file.path(), missingFile);
        return false;
    }
    if (info.isDir()) {
        *error = readFailed.arg(file.path(), directoryFile);
        return false;
    }
    if (!file.load(error))
        return false;
    if (file.hasSection(parametersSection) || file.hasSection(timersSection))
        return true;
    *error = readFailed.arg(file.path(), noSettings.arg(parametersSection, timersSection));
    return false;
}

} // namespace

QString withDefaultSuffix(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + u'.' + defaultSuffix;
}

std::optional<QTime> parseTimeOfDay(const QString &text)
{
    static const QRegularExpression form(
            QStringLiteral("^\\s*([0-9]{1,2}):([0-9]{2})(?::([0-9]{2}))?\\s*$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    // The relay keeps hours and minutes: a second it would drop is refused,
    // not stored to be lost on the way.
    if (match.hasCaptured(3) && match.captured(3).toInt() != 0)
        return std::nullopt;
    const QTime time(match.captured(1).toInt(), match.captured(2).toInt());
    if (!time.isValid())
        return std::nullopt;
    return time;
}

QString markKey(int mark)
{
    return QStringLiteral("Метка%1").arg(mark);
}

QString intervalKey(int interval)
{
    return QStringLiteral("Интервал%1").arg(interval);
}

bool save(const QString &path, const ConfigGrid &grid, const TimerSchedule &timer, QString *error)
{
    IniFile file(path);
    QString reason;
    // An existing file that cannot be read is not overwritten: its other
    // sections would be lost.
    if (file.load(&reason)) {
        writeParameters(file, grid);
        writeTimers(file, timer);
        if (file.save(&reason))
            return true;
    }
    if (error)
        *error = reason;
    return false;
}

bool save(const QString &path, const ConfigGrid &grid, const TimerSchedule &timer, Operator &op)
{
    QString error;
    if (save(path, grid, timer, &error))
        return true;
    op.message(Operator::Icon::Error, Texts::settingsSaveFailed.arg(error));
    return false;
}

LoadResult load(const QString &path, RelaySession &session)
{
    LoadResult result;
    IniFile file(path);
    if (!readFile(file, &result.error))
        return result;
    result.outcome = LoadResult::Outcome::Loaded;
    result.timerGiven = file.hasSection(timersSection);
    result.content = typeSixContent(file);
    Loading loading(file, session);
    result.rejectedKeys = loading.run();
    result.rejectedValues = loading.rejectedValues();
    result.notices = file.notices();
    return result;
}

LoadResult load(const QString &path, RelaySession &session, Operator &op)
{
    const LoadResult result = load(path, session);
    if (!result.loaded()) {
        op.message(Operator::Icon::Error, result.error);
        return result;
    }
    QStringList parts;
    const QString typeWarning = SettingsTypeFit::warning(QFileInfo(path).fileName(), std::nullopt,
                                                         result.content, session.device.typeCode);
    if (!typeWarning.isEmpty())
        parts << typeWarning;
    if (!result.rejectedKeys.isEmpty())
        parts << Texts::settingsValuesRejected.arg(result.rejectedValues.join(u'\n'));
    if (!result.notices.isEmpty())
        parts << Texts::settingsFileRepeats.arg(path, result.notices.join(u'\n'));
    if (!parts.isEmpty())
        op.message(Operator::Icon::Warning, parts.join(QStringLiteral("\n\n")));
    return result;
}

QString rejectedKeysMessage(const QStringList &keys)
{
    return Texts::settingsValuesRejected.arg(keys.join(u'\n'));
}

bool askAndSave(Operator &op, const ConfigGrid &grid, const TimerSchedule &timer)
{
    const QString path = withDefaultSuffix(op.askSaveFileName(filter, defaultSuffix));
    if (path.isEmpty())
        return false;
    return save(path, grid, timer, op);
}

QString askFileToOpen(Operator &op)
{
    const QString path = op.askOpenFileName(filter, defaultSuffix);
    // A name typed without extension means the ".miv" file, unless a file of
    // exactly that name exists.
    if (path.isEmpty() || QFileInfo::exists(path))
        return path;
    return withDefaultSuffix(path);
}

LoadResult askAndLoad(RelaySession &session, Operator &op)
{
    const QString path = askFileToOpen(op);
    if (path.isEmpty())
        return {LoadResult::Outcome::Cancelled, {}, {}, {}, {}, false, {}};
    return load(path, session, op);
}

} // namespace SettingsFile

} // namespace miv
