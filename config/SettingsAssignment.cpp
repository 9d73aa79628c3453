#include "config/SettingsAssignment.h"

#include "core/Texts.h"

#include "config/AllowedRange.h"
#include "config/ConfigValidation.h"
#include "config/RelayTypeChoice.h"
#include "config/SettingsFile.h"
#include "link/RelaySession.h"

#include <map>
#include <QSet>

namespace miv {

namespace SettingsAssignment {
namespace {

constexpr int ratedVoltageRow = 8; // 220 to 220: the editor never opens it

const QString noSuchRow = QStringLiteral("Строки «%1» нет");
const QString neverEdited = QStringLiteral("Строка %1 «%2» не изменяется");
const QString notInFile = QStringLiteral("Строки %1 «%2» нет в файле настроек");
const QString typeLacks = QStringLiteral("У %1 нет строки «%2»");
const QString givenTwice = QStringLiteral("Строка «%1» задана дважды");
const QString &badValue = Texts::rowValueRefused;
const QString &badTimerValue = Texts::timerValueRefused;
const QString ratioFirst = QStringLiteral("число, когда задан коэффициент трансформации");
const QString notFollowingRatio = QStringLiteral(
        "Строка %1 «%2»: значение %3 не подходит к коэффициенту трансформации %4; допустимо %5");
const QString &markRange = Texts::timerMarkRange;

struct Target
{
    enum class Kind { Row, Mark, Button };
    Kind kind = Kind::Row;
    int index = 0; // the row 0-31, the mark 1-5, the button 1-7 (7: the timer)
    QString name;
};

class Assigning
{
public:
    explicit Assigning(RelaySession &session) : m_session(session) { }

    Result run(const QList<Assignment> &assignments)
    {
        // Every refusal is told at once, not the first alone.
        resolve(assignments);
        checkSwitches();
        checkRatio();
        checkNumbers();
        checkFollowers();
        checkTimer();
        if (m_result.refusals.isEmpty())
            commit();
        return m_result;
    }

private:
    void refuse(const QString &text) { m_result.refusals << text; }

    std::optional<Target> rowTarget(int row)
    {
        const QString name = m_session.catalogue.record(row).name;
        if (row == ratedVoltageRow)
            refuse(neverEdited.arg(row).arg(name));
        else if (row > ConfigRow::lastSwitch)
            refuse(notInFile.arg(row).arg(name));
        else if (row == ConfigRow::tankAlgorithm && !m_session.device.hasTimer())
            refuse(typeLacks.arg(RelayTypeChoice::typeName(m_session.device.typeCode), name));
        else
            return Target{Target::Kind::Row, row, name};
        return std::nullopt;
    }

    std::optional<Target> timerTarget(const QString &text)
    {
        std::optional<Target> found;
        for (int mark = 1; mark <= TimerSchedule::markCount; ++mark)
            if (text == SettingsFile::markKey(mark))
                found = Target{Target::Kind::Mark, mark, text};
        for (int button = 1; button <= TimerSchedule::buttonCount; ++button)
            if (text
                == (button < TimerSchedule::buttonCount ? SettingsFile::intervalKey(button)
                                                        : SettingsFile::timerKey))
                found = Target{Target::Kind::Button, button, text};
        if (found && !m_session.device.hasTimer()) {
            refuse(typeLacks.arg(RelayTypeChoice::typeName(m_session.device.typeCode), text));
            return std::nullopt;
        }
        if (!found)
            refuse(noSuchRow.arg(text));
        return found;
    }

    std::optional<Target> targetOf(const QString &text)
    {
        bool number = false;
        const int row = text.toInt(&number);
        if (number && row >= 0 && row < ConfigRow::count)
            return rowTarget(row);
        if (number) {
            refuse(noSuchRow.arg(text));
            return std::nullopt;
        }
        for (int named = 0; named < ConfigRow::count; ++named)
            if (text == m_session.catalogue.record(named).name)
                return rowTarget(named);
        return timerTarget(text);
    }

    void resolve(const QList<Assignment> &assignments)
    {
        QSet<QString> seen;
        for (const Assignment &assignment : assignments) {
            const std::optional<Target> target = targetOf(assignment.target.trimmed());
            if (!target)
                continue;
            const QString key = QStringLiteral("%1:%2").arg(int(target->kind)).arg(target->index);
            if (seen.contains(key)) {
                refuse(givenTwice.arg(target->name));
                continue;
            }
            seen.insert(key);
            m_targets.append({*target, assignment.value.trimmed()});
        }
    }

    void refuseValue(const Target &target, const QString &value, const QString &allowed)
    {
        if (target.kind == Target::Kind::Row)
            refuse(badValue.arg(target.index).arg(target.name, value, allowed));
        else
            refuse(badTimerValue.arg(target.name, value, allowed));
    }

    static bool isSwitchText(const QString &value)
    {
        return value == onOffTexts[0] || value == onOffTexts[1];
    }

    // The switch rows' texts as the call leaves them.
    void checkSwitches()
    {
        for (const auto &[target, value] : std::as_const(m_targets)) {
            if (target.kind != Target::Kind::Row || !m_session.catalogue.isSwitch(target.index))
                continue;
            if (isSwitchText(value))
                m_texts[target.index] = value;
            else
                refuseValue(target, value, AllowedRange::switchText());
        }
    }

    std::optional<int> ratioNow() const
    {
        return ConfigValidation::ratioFromText(
                m_session.configGrid.text(ConfigRow::ratio, ConfigGrid::Value),
                m_session.decimalSeparator);
    }

    void checkRatio()
    {
        m_ratio = ratioNow();
        for (const auto &[target, value] : std::as_const(m_targets))
            if (target.kind == Target::Kind::Row && target.index == ConfigRow::ratio)
                m_ratio = checkNumber(target, value) ? ConfigValidation::ratioFromText(
                                  m_texts[ConfigRow::ratio], m_session.decimalSeparator)
                                                     : std::nullopt;
    }

    // The value's check at the ratio the call leaves; its text kept when it passes.
    bool checkNumber(const Target &target, const QString &value)
    {
        const ConfigValidation::RowCheck check =
                ConfigValidation::checkRow(m_session.catalogue, target.index, value, m_ratio,
                                           m_session.device.typeCode, m_session.decimalSeparator);
        if (check.verdict == ConfigValidation::Verdict::Accepted) {
            m_texts[target.index] = check.text;
            return true;
        }
        const QString range = AllowedRange::text(m_session.catalogue, target.index, m_ratio,
                                                 m_session.decimalSeparator);
        refuseValue(target, value, range.isEmpty() ? ratioFirst : range);
        return false;
    }

    void checkNumbers()
    {
        for (const auto &[target, value] : std::as_const(m_targets))
            if (target.kind == Target::Kind::Row && target.index != ConfigRow::ratio
                && !m_session.catalogue.isSwitch(target.index))
                checkNumber(target, value);
    }

    // Rows 1 and 2 follow a new ratio: the value they keep must fit it.
    void checkFollowers()
    {
        if (m_ratio == ratioNow() || !m_ratio)
            return;
        const ConfigGrid &grid = m_session.configGrid;
        for (int row : {ConfigRow::nominalCurrent, ConfigRow::secondStageCurrent}) {
            const QString aside = grid.text(row, ConfigGrid::SavedText);
            const QString kept = aside.isEmpty() ? grid.text(row, ConfigGrid::Value) : aside;
            if (m_texts.count(row) || kept.isEmpty())
                continue;
            const ConfigValidation::RowCheck check = ConfigValidation::checkRow(
                    m_session.catalogue, row, kept, m_ratio, m_session.device.typeCode,
                    m_session.decimalSeparator);
            if (check.verdict == ConfigValidation::Verdict::Accepted)
                m_followers[row] = check.text;
            else
                refuse(notFollowingRatio.arg(row)
                               .arg(grid.text(row, ConfigGrid::Name), kept)
                               .arg(*m_ratio)
                               .arg(AllowedRange::text(m_session.catalogue, row, m_ratio,
                                                       m_session.decimalSeparator)));
        }
    }

    void checkTimer()
    {
        for (const auto &[target, value] : std::as_const(m_targets)) {
            if (target.kind == Target::Kind::Mark) {
                if (const auto time = SettingsFile::parseTimeOfDay(value))
                    m_marks[target.index] = *time;
                else
                    refuseValue(target, value, markRange);
            } else if (target.kind == Target::Kind::Button && !isSwitchText(value)) {
                refuseValue(target, value, AllowedRange::switchText());
            }
        }
    }

    // A value into its row: a row whose function is off keeps it aside.
    void put(int row, const QString &text, bool mark)
    {
        ConfigGrid &grid = m_session.configGrid;
        const bool disabled = grid.isDisabled(row) && !m_session.catalogue.isSwitch(row);
        grid.setText(row, disabled ? ConfigGrid::SavedText : ConfigGrid::Value, text);
        if (mark && !disabled)
            grid.mark(row);
    }

    void commit()
    {
        ConfigGrid &grid = m_session.configGrid;
        for (int row = ConfigRow::firstSwitch; row <= ConfigRow::lastSwitch; ++row)
            if (m_texts.count(row)) {
                put(row, m_texts[row], true);
                grid.switchToggled(row);
            }
        if (m_ratio)
            m_session.catalogue.applyRatio(*m_ratio);
        for (const auto &[row, text] : m_followers)
            put(row, text, false);
        for (const auto &[row, text] : m_texts)
            if (!m_session.catalogue.isSwitch(row))
                put(row, text, true);
        TimerSchedule &timer = m_session.timer;
        for (const auto &[target, value] : std::as_const(m_targets)) {
            if (target.kind == Target::Kind::Row) {
                m_result.applied.append({target.index, target.name, m_texts[target.index]});
            } else if (target.kind == Target::Kind::Mark) {
                const QTime time = m_marks[target.index];
                timer.marks[size_t(target.index - 1)] = {time, TimerSchedule::markWord(time), true};
                m_result.applied.append({-1, target.name, time.toString(QStringLiteral("HH:mm"))});
            } else {
                timer.buttons[size_t(target.index - 1)] = value;
                m_result.applied.append({-1, target.name, value});
            }
        }
        m_session.flags.unwrittenChanges = true;
    }

    RelaySession &m_session;
    QList<std::pair<Target, QString>> m_targets;
    std::map<int, QString> m_texts; // rows given: their texts as checked
    std::map<int, QString> m_followers; // rows 1 and 2 at a new ratio's resolution
    std::map<int, QTime> m_marks;
    std::optional<int> m_ratio;
    Result m_result;
};

} // namespace

std::optional<Assignment> parse(const QString &argument)
{
    const qsizetype equals = argument.indexOf(u'=');
    if (equals <= 0 || argument.left(equals).trimmed().isEmpty())
        return std::nullopt;
    return Assignment{argument.left(equals), argument.mid(equals + 1)};
}

Result apply(RelaySession &session, const QList<Assignment> &assignments)
{
    return Assigning(session).run(assignments);
}

} // namespace SettingsAssignment

} // namespace miv
