#include "config/SettingsCarryOver.h"

#include "access/PasswordAccess.h"
#include "config/ConfigReader.h"
#include "config/ConfigValidation.h"
#include "config/RelayTypeChoice.h"
#include "config/SettingsFile.h"
#include "config/SettingsTypeFit.h"
#include "core/DependentRowRule.h"
#include "core/HeldSettingsFile.h"
#include "core/Operator.h"
#include "link/RelaySession.h"

#include <QFileInfo>
#include <QMap>

namespace miv {

namespace SettingsCarryOver {
namespace {

const QString carryQuestion =
        QStringLiteral("Значения файла настроек «%1» (%2) не относятся ни к одному устройству.\r"
                       "Перенести их в устройство №%3 (заводской №%4, %5)?\r"
                       "Отличающиеся строки будут отмечены «*» и записаны кнопкой «Записать».");
const QString unsavedNote =
        QStringLiteral("\rПри ответе «Нет» несохранённые изменения файла будут потеряны.");
const QString carried = QStringLiteral(
        "Отмечены строки, в которых файл отличается от устройства (устройство → файл); "
        "запишите их кнопкой «Записать»:\n%1");
const QString nothingDiffers =
        QStringLiteral("Значения файла совпадают со значениями устройства: отмечать нечего.");
const QString notCarried = QStringLiteral("Не перенесены (недопустимы для этого устройства):\n%1");

QString markText(const QTime &time)
{
    return time.toString(QStringLiteral("HH:mm"));
}

class Carrying
{
public:
    Carrying(RelaySession &session, const SettingsSnapshot &held, quint16 heldTypeCode)
        : m_session(session), m_held(held), m_heldTypeCode(heldTypeCode)
    { }

    QList<SettingsDifference> run()
    {
        planRows();
        applyRows();
        if (m_session.device.hasTimer() && relayTypeHasTimer(m_heldTypeCode))
            carryTimer();
        m_session.flags.unwrittenChanges = m_session.flags.unwrittenChanges || !m_taken.isEmpty();
        return m_differences;
    }

private:
    void planRows()
    {
        const ConfigGrid &grid = m_session.configGrid;
        m_ratio = ConfigValidation::ratioFromText(m_held.values[ConfigRow::ratio],
                                                  m_session.decimalSeparator);
        for (int row = 0; row < SettingsSnapshot::rowCount; ++row) {
            const QString text = m_held.values[size_t(row)];
            if (text.isEmpty())
                continue;
            const ConfigValidation::RowCheck check = ConfigValidation::checkRow(
                    m_session.catalogue, row, text, m_ratio, m_session.device.typeCode,
                    m_session.decimalSeparator);
            if (check.verdict == ConfigValidation::Verdict::Rejected)
                m_rejected << SettingsDifference{SettingsDifference::Kind::Rejected, row,
                                                 grid.text(row, ConfigGrid::Name),
                                                 grid.relayText(row), text};
            else if (check.verdict == ConfigValidation::Verdict::Accepted
                     && check.text != grid.relayText(row))
                m_taken[row] = check.text;
        }
    }

    void applyRows()
    {
        ConfigGrid &grid = m_session.configGrid;
        if (m_taken.contains(ConfigRow::ratio) && m_ratio)
            m_session.catalogue.applyRatio(*m_ratio);
        // As loading does: every dependent row comes back, takes its value,
        // and the switches as they now read disable theirs again.
        for (const DependentRowRule &rule : dependentRowRules)
            for (int row : rule.dependentRows())
                grid.enableRow(row);
        for (auto it = m_taken.cbegin(); it != m_taken.cend(); ++it) {
            grid.setText(it.key(), ConfigGrid::Value, it.value());
            grid.mark(it.key());
        }
        grid.applySwitches();
        // A row whose function is off is not written: it is not listed.
        for (int row = 0; row < SettingsSnapshot::rowCount; ++row) {
            if (grid.isMarked(row))
                m_differences << SettingsDifference{SettingsDifference::Kind::Differs, row,
                                                    grid.text(row, ConfigGrid::Name),
                                                    grid.relayText(row), m_taken.value(row)};
            for (const SettingsDifference &rejected : std::as_const(m_rejected))
                if (rejected.row == row)
                    m_differences << rejected;
        }
    }

    void carryTimer()
    {
        TimerSchedule &timer = m_session.timer;
        for (int i = 0; i < TimerSchedule::markCount; ++i) {
            const QTime time = m_held.marks[size_t(i)];
            const quint16 word = TimerSchedule::markWord(time);
            if (word == TimerSchedule::markWord(timer.marks[size_t(i)].time)
                && timer.marks[size_t(i)].valid)
                continue;
            m_differences << SettingsDifference{
                    SettingsDifference::Kind::Differs, -1, SettingsFile::markKey(i + 1),
                    markText(timer.marks[size_t(i)].time), markText(time)};
            timer.marks[size_t(i)] = {time, word, true};
        }
        for (int button = 1; button <= TimerSchedule::buttonCount; ++button) {
            const QString caption = m_held.buttons[size_t(button - 1)];
            QString &current = timer.buttons[size_t(button - 1)];
            if (caption.isEmpty() || caption == current)
                continue;
            m_differences << SettingsDifference{SettingsDifference::Kind::Differs, -1,
                                                button < TimerSchedule::buttonCount
                                                        ? SettingsFile::intervalKey(button)
                                                        : SettingsFile::timerKey,
                                                current, caption};
            current = caption;
        }
    }

    RelaySession &m_session;
    const SettingsSnapshot &m_held;
    const quint16 m_heldTypeCode;
    std::optional<int> m_ratio;
    QMap<int, QString> m_taken;
    QList<SettingsDifference> m_rejected;
    QList<SettingsDifference> m_differences;
};

} // namespace

QList<SettingsDifference> carryOver(RelaySession &session, const SettingsSnapshot &held,
                                    quint16 heldTypeCode)
{
    return Carrying(session, held, heldTypeCode).run();
}

QString carriedText(const QList<SettingsDifference> &differences)
{
    QStringList marked;
    QStringList rejected;
    for (const SettingsDifference &difference : differences) {
        if (difference.kind == SettingsDifference::Kind::Rejected)
            rejected << difference.item + QStringLiteral(": ") + difference.fileText;
        else
            marked << difference.item + QStringLiteral(": ") + difference.relayText
                            + QStringLiteral(" → ") + difference.fileText;
    }
    QStringList parts;
    parts << (marked.isEmpty() ? nothingDiffers : carried.arg(marked.join(u'\n')));
    if (!rejected.isEmpty())
        parts << notCarried.arg(rejected.join(u'\n'));
    return parts.join(QStringLiteral("\n\n"));
}

Result offerHeldFile(RelaySession &session, Operator &op)
{
    Result result;
    if (!session.heldFile || !session.heldFile->offered)
        return result;
    const HeldSettingsFile held = *session.heldFile;
    const CurrentDevice &device = session.device;
    QString question =
            carryQuestion
                    .arg(QFileInfo(held.path).fileName(), RelayTypeChoice::typeName(held.typeCode))
                    .arg(device.networkAddress)
                    .arg(device.factoryNumber)
                    .arg(RelayTypeChoice::typeName(device.typeCode));
    // A file of another type loses what the relay has no place for: said before anything is
    // carried.
    const QString typeWarning =
            SettingsTypeFit::warning(QFileInfo(held.path).fileName(), held.typeCode,
                                     SettingsTypeFit::contentOf(*held.offered), device.typeCode);
    if (!typeWarning.isEmpty())
        question += u'\r' + typeWarning;
    if (*held.offered != held.asSaved)
        question += unsavedNote;
    if (op.message(Operator::Icon::Question, question, Operator::Buttons::YesNo)
        != Operator::Answer::Yes) {
        session.heldFile.reset();
        result.outcome = Result::Outcome::Declined;
        return result;
    }
    if (readConfiguration(session, op) != ConfigReadResult::Complete) {
        result.outcome = Result::Outcome::ReadFailed;
        return result;
    }
    if (session.flags.editingLocked
        && PasswordAccess::unlock(op, session.device, session.flags)
                != PasswordAccess::Unlock::Unlocked) {
        result.outcome = Result::Outcome::StillLocked;
        return result;
    }
    result.differences = carryOver(session, *held.offered, held.typeCode);
    result.outcome = Result::Outcome::Carried;
    session.heldFile.reset();
    op.message(Operator::Icon::Information, carriedText(result.differences));
    return result;
}

} // namespace SettingsCarryOver

} // namespace miv
