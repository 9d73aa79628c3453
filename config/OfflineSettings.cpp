#include "config/OfflineSettings.h"

#include "config/AllowedRange.h"
#include "config/ConfigValidation.h"
#include "config/RelayTypeChoice.h"
#include "core/Operator.h"
#include "core/Texts.h"
#include "link/IniFile.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace miv {

namespace OfflineSettings {
namespace {

constexpr int fileRows = SettingsSnapshot::rowCount;

const QString valuesNotTaken = QStringLiteral(
        "Эти значения файла настроек недопустимы для %1 и не загружены (строки пусты, задайте их):\n%2");
const QString valuesMissing =
        QStringLiteral("В файле настроек нет значений (строки пусты, задайте их):\n%1");
const QString notSaved =
        QStringLiteral("Файл настроек не сохранён: недопустимые значения в строках:\n%1");
const QString discardQuestion = QStringLiteral(
        "Имеются несохраненные изменения.\rОтменить изменения и открыть другой файл?");
const QString heldState = QStringLiteral("Файл настроек «%1» для %2, без устройства");
const QString unsavedState = QStringLiteral(" (не сохранён)");

QString valueOf(const ConfigGrid &grid, int row)
{
    const QString aside = grid.text(row, ConfigGrid::SavedText);
    return aside.isEmpty() ? grid.text(row, ConfigGrid::Value) : aside;
}

// The loaded values, cell by cell, into the session's grid (a model that
// the window shows, so it is filled, not replaced).
void takeGrid(const ConfigGrid &from, ConfigGrid &to, const ParameterCatalogue &catalogue)
{
    to.fillFromCatalogue(catalogue);
    for (int row = 0; row < ConfigRow::count; ++row)
        for (int column : {ConfigGrid::Value, ConfigGrid::SavedText})
            to.setText(row, column, from.text(row, column));
}

void takeTimer(const TimerSchedule &from, TimerSchedule &to, bool hasTimer)
{
    to = TimerSchedule();
    to.marks = from.marks;
    to.buttons = from.buttons;
    // A relay with the timer reads every switch as on or off; an empty
    // caption could not even be toggled.
    if (hasTimer)
        for (QString &caption : to.buttons)
            if (caption.isEmpty())
                caption = onOffTexts[0];
}

QStringList namesOf(const RelaySession &session, const QList<int> &rows)
{
    QStringList lines;
    for (int row : rows)
        lines << session.catalogue.record(row).name + QStringLiteral(": ")
                        + valueOf(session.configGrid, row) + QStringLiteral(" (допустимо ")
                        + AllowedRange::text(session.catalogue, row,
                                             ConfigValidation::ratioFromText(
                                                     session.configGrid.text(ConfigRow::ratio,
                                                                             ConfigGrid::Value),
                                                     session.decimalSeparator),
                                             session.decimalSeparator)
                        + u')';
    return lines;
}

} // namespace

OpenResult open(RelaySession &session, const QString &path, quint16 typeCode)
{
    // Loaded into a session of its own first, so that a file that cannot be
    // read leaves the one on screen as it was.
    RelayBus idle; // no port: nothing here talks to a relay
    RelaySession scratch(idle);
    scratch.decimalSeparator = session.decimalSeparator;
    scratch.device.typeCode = typeCode;
    scratch.device.deviceName = RelayTypeChoice::typeName(typeCode);
    scratch.configGrid.fillFromCatalogue(scratch.catalogue);
    OpenResult result;
    result.load = SettingsFile::load(path, scratch);
    if (!result.load.loaded())
        return result;

    session.device = scratch.device;
    session.valuesOwner.reset();
    session.ownerBeforeScan.reset();
    session.catalogue = scratch.catalogue;
    takeGrid(scratch.configGrid, session.configGrid, session.catalogue);
    ConfigGrid &grid = session.configGrid;
    if (!session.device.hasTimer()
        && grid.text(ConfigRow::tankAlgorithm, ConfigGrid::Value).isEmpty())
        grid.setText(ConfigRow::tankAlgorithm, ConfigGrid::Value, Texts::functionOff);
    takeTimer(scratch.timer, session.timer, session.device.hasTimer());
    session.flags.editingLocked = false;
    session.flags.unwrittenChanges = false;
    session.heldFile = HeldSettingsFile{path, typeCode, SettingsSnapshot::of(grid, session.timer),
                                        std::nullopt};
    for (int row = 0; row < fileRows; ++row) {
        const QString key = grid.text(row, ConfigGrid::Name);
        if (valueOf(grid, row).isEmpty() && !result.load.rejectedKeys.contains(key))
            result.missingKeys << key;
    }
    return result;
}

OpenResult open(RelaySession &session, const QString &path, quint16 typeCode, Operator &op)
{
    const OpenResult result = open(session, path, typeCode);
    if (!result.load.loaded()) {
        op.message(Operator::Icon::Error, result.load.error);
        return result;
    }
    QStringList parts;
    const QString typeWarning =
            SettingsTypeFit::warning(QFileInfo(path).fileName(), std::nullopt, result.load.content,
                                     typeCode, SettingsTypeFit::Target::ChosenType);
    if (!typeWarning.isEmpty())
        parts << typeWarning;
    if (!result.load.rejectedKeys.isEmpty())
        parts << valuesNotTaken.arg(RelayTypeChoice::typeName(typeCode),
                                    result.load.rejectedValues.join(u'\n'));
    if (!result.missingKeys.isEmpty())
        parts << valuesMissing.arg(result.missingKeys.join(u'\n'));
    if (!result.load.notices.isEmpty())
        parts << Texts::settingsFileRepeats.arg(path, result.load.notices.join(u'\n'));
    if (!parts.isEmpty())
        op.message(Operator::Icon::Warning, parts.join(QStringLiteral("\n\n")));
    return result;
}

QList<int> unsavableRows(const RelaySession &session)
{
    const ConfigGrid &grid = session.configGrid;
    const auto ratio = ConfigValidation::ratioFromText(
            grid.text(ConfigRow::ratio, ConfigGrid::Value), session.decimalSeparator);
    QList<int> rows;
    for (int row = 0; row < fileRows; ++row) {
        const QString value = valueOf(grid, row);
        if (value.isEmpty())
            continue;
        const ConfigValidation::RowCheck check =
                ConfigValidation::checkRow(session.catalogue, row, value, ratio,
                                           session.device.typeCode, session.decimalSeparator);
        if (check.verdict == ConfigValidation::Verdict::Rejected)
            rows << row;
    }
    return rows;
}

bool save(RelaySession &session, const QString &path, QString *error)
{
    const QList<int> unsavable = unsavableRows(session);
    if (!unsavable.isEmpty()) {
        if (error)
            *error = notSaved.arg(namesOf(session, unsavable).join(u'\n'));
        return false;
    }
    QString reason;
    if (!SettingsFile::save(path, session.configGrid, session.timer, &reason)) {
        if (error)
            *error = Texts::settingsSaveFailed.arg(reason);
        return false;
    }
    if (session.holdsFile()) {
        session.heldFile->path = path;
        session.heldFile->asSaved = SettingsSnapshot::of(session.configGrid, session.timer);
        session.flags.unwrittenChanges = false;
    }
    return true;
}

bool save(RelaySession &session, const QString &path, Operator &op)
{
    QString error;
    if (save(session, path, &error))
        return true;
    op.message(Operator::Icon::Error, error);
    return false;
}

SettingsFile::LoadResult loadExecute(RelaySession &session, Operator &op, const QString &frontIni)
{
    if (session.valuesOwner)
        return SettingsFile::askAndLoad(session, op);
    const SettingsFile::LoadResult cancelled{
            SettingsFile::LoadResult::Outcome::Cancelled, {}, {}, {}, {}, false, {}};
    // Changes not saved to a held file, or not written to the relay whose
    // values a scan released, are lost only on the operator's word.
    if ((session.holdsFile() || session.ownerBeforeScan) && session.holdsUnwrittenChanges()
        && op.message(Operator::Icon::Warning, discardQuestion, Operator::Buttons::OkNo)
                != Operator::Answer::Ok)
        return cancelled;
    const std::optional<quint16> typeCode = RelayTypeChoice::ask(op, frontIni);
    if (!typeCode)
        return cancelled;
    const QString path = SettingsFile::askFileToOpen(op);
    if (path.isEmpty())
        return cancelled;
    return open(session, path, *typeCode, op).load;
}

bool saveExecute(RelaySession &session, Operator &op)
{
    if (!session.holdsFile())
        return SettingsFile::askAndSave(op, session.configGrid, session.timer);
    const QString path = SettingsFile::withDefaultSuffix(
            op.askSaveFileName(SettingsFile::filter, SettingsFile::defaultSuffix));
    if (path.isEmpty())
        return false;
    return save(session, path, op);
}

QString stateText(const RelaySession &session)
{
    if (!session.holdsFile())
        return {};
    return heldState.arg(QFileInfo(session.heldFile->path).fileName(),
                         RelayTypeChoice::typeName(session.heldFile->typeCode))
            + (session.holdsUnwrittenChanges() ? unsavedState : QString());
}

QChar decimalSeparatorOf(const QString &path, QChar fallback)
{
    static const QRegularExpression decimal(QStringLiteral("^\\s*\\d+([.,])\\d+\\s*$"));
    IniFile file(path);
    if (!file.load())
        return fallback;
    for (const QString &key : file.keys(SettingsFile::parametersSection)) {
        const QRegularExpressionMatch match =
                decimal.match(file.value(SettingsFile::parametersSection, key));
        if (match.hasMatch())
            return match.captured(1).front();
    }
    return fallback;
}

} // namespace OfflineSettings

} // namespace miv
