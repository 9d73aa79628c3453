// mivctl settings show FILE --type 4|6
// mivctl settings set FILE --type 4|6 ROW=VALUE ...
// mivctl settings sheet FILE --type 4|6 [--xls F] [--pdf F] [--csv F]
//
// A settings file with no relay: no port is opened. The file is opened for
// the relay type given, as "Загрузить из файла..." opens it with no relay
// identified, with the same checks (the messages on stderr).
//
// "show" prints the grid as "config read" does, row<TAB>name<TAB>value,
// disabled rows as the grid shows them, then for type 6 the timer as
// timer<TAB>key<TAB>value; exit 3 when the file holds values the type may
// not take (they are told and show empty).
//
// "set" checks every ROW=VALUE as the value editor does, all together (see
// SettingsAssignment): one refused value refuses the call, with exit 3 and
// the file left byte for byte. Otherwise the file is saved (its other lines,
// its encoding and its decimal separator kept; written beside and replaced
// when complete) and each value set printed as row<TAB>name<TAB>value
// (timer<TAB>key<TAB>value).
//
// "sheet" writes the settings sheet of the file; a file that "show" refuses
// (exit 3) is refused here too, before any output is written. An output
// naming the input file is wrong usage.
#include "cli/CliContext.h"
#include "cli/Commands.h"
#include "cli/SheetOutputs.h"
#include "config/OfflineSettings.h"
#include "config/RelayTypeChoice.h"
#include "config/SettingsAssignment.h"
#include "link/RelaySession.h"
#include "report/SettingsSheet.h"

#include <QDateTime>

namespace miv::cli {

namespace {

const QString settingsUsage = QStringLiteral(
        "settings show|set|sheet FILE --type 4|6 [ROW=VALUE ...] [--xls F] [--pdf F] [--csv F]");

// What follows FILE: the type, and the rest as the action takes it.
struct SettingsArguments
{
    QString action;
    QString file;
    std::optional<quint16> typeCode;
    QStringList rest;
};

std::optional<SettingsArguments> parseArguments(const QStringList &arguments, QString *problem)
{
    SettingsArguments parsed;
    parsed.action = arguments.value(0);
    parsed.file = arguments.value(1);
    if (parsed.file.isEmpty()) {
        *problem = QStringLiteral("settings needs an action and a file");
        return std::nullopt;
    }
    for (qsizetype i = 2; i < arguments.size(); ++i) {
        if (arguments[i] != QStringLiteral("--type")) {
            parsed.rest << arguments[i];
            continue;
        }
        if (parsed.typeCode || i + 1 >= arguments.size()) {
            *problem = QStringLiteral("--type needs one value, 4 or 6");
            return std::nullopt;
        }
        parsed.typeCode = RelayTypeChoice::parseType(arguments[++i]);
        if (!parsed.typeCode) {
            *problem = QStringLiteral("--type is 4 or 6, not ") + arguments[i];
            return std::nullopt;
        }
    }
    if (!parsed.typeCode) {
        *problem = QStringLiteral("settings needs --type 4 or --type 6");
        return std::nullopt;
    }
    return parsed;
}

void printSettings(QTextStream &out, const RelaySession &session)
{
    const ConfigGrid &grid = session.configGrid;
    for (int row = 0; row < ConfigRow::count; ++row)
        out << row << '\t' << grid.text(row, ConfigGrid::Name) << '\t'
            << grid.text(row, ConfigGrid::Value) << '\n';
    if (!session.device.hasTimer())
        return;
    const SettingsSheet::Document document = SettingsSheet::build(session, {}, {});
    for (const SettingsSheet::Field &field : document.timer)
        out << "timer\t" << field.label << '\t' << field.value << '\n';
}

int show(CliContext &context, const OfflineSettings::OpenResult &opened)
{
    printSettings(context.out(), context.session());
    return opened.load.rejectedKeys.isEmpty() ? ExitStatus::Done : ExitStatus::Refused;
}

int set(CliContext &context, const SettingsArguments &arguments)
{
    QList<SettingsAssignment::Assignment> assignments;
    for (const QString &argument : arguments.rest) {
        const auto assignment = SettingsAssignment::parse(argument);
        if (!assignment)
            return context.wrongUsage(QStringLiteral("not ROW=VALUE: ") + argument, settingsUsage);
        assignments << *assignment;
    }
    if (assignments.isEmpty())
        return context.wrongUsage(QStringLiteral("settings set needs ROW=VALUE"), settingsUsage);

    RelaySession &session = context.session();
    // Saved back with the separator the file uses, so that only the values set change.
    session.decimalSeparator =
            OfflineSettings::decimalSeparatorOf(arguments.file, session.decimalSeparator);
    if (!OfflineSettings::open(session, arguments.file, *arguments.typeCode, context.messages())
                 .load.loaded())
        return ExitStatus::Refused;
    const SettingsAssignment::Result result = SettingsAssignment::apply(session, assignments);
    for (const QString &refusal : result.refusals)
        context.err() << refusal << Qt::endl;
    if (!result.done())
        return ExitStatus::Refused;
    QString error;
    if (!OfflineSettings::save(session, arguments.file, &error)) {
        context.err() << error << Qt::endl;
        return ExitStatus::Refused;
    }
    for (const SettingsAssignment::Applied &applied : result.applied)
        context.out() << (applied.row < 0 ? QStringLiteral("timer") : QString::number(applied.row))
                      << '\t' << applied.item << '\t' << applied.text << '\n';
    return ExitStatus::Done;
}

int sheet(CliContext &context, const SettingsArguments &arguments)
{
    QString problem;
    const std::optional<SheetOutputs> outputs =
            parseSheetOutputs(arguments.rest, &problem, {arguments.file});
    if (!outputs)
        return context.wrongUsage(problem, settingsUsage);
    RelaySession &session = context.session();
    // One rule with "show": a value the type may not take (told with its
    // limits) refuses the file, rather than a sheet with the row left blank.
    if (!OfflineSettings::open(session, arguments.file, *arguments.typeCode, context.messages())
                 .load.complete())
        return ExitStatus::Refused;
    return writeSheet(context, SettingsSheet::build(session, {}, QDateTime::currentDateTime()),
                      *outputs);
}

} // namespace

int runSettings(CliContext &context, const QStringList &arguments)
{
    QString problem;
    const std::optional<SettingsArguments> parsed = parseArguments(arguments, &problem);
    if (!parsed)
        return context.wrongUsage(problem, settingsUsage);
    if (parsed->action == QStringLiteral("set"))
        return set(context, *parsed);
    if (parsed->action == QStringLiteral("sheet"))
        return sheet(context, *parsed);
    if (parsed->action != QStringLiteral("show"))
        return context.wrongUsage(QStringLiteral("settings needs show, set or sheet"),
                                  settingsUsage);
    if (!parsed->rest.isEmpty())
        return context.wrongUsage(QStringLiteral("settings show takes no more arguments"),
                                  settingsUsage);
    const OfflineSettings::OpenResult opened = OfflineSettings::open(
            context.session(), parsed->file, *parsed->typeCode, context.messages());
    if (!opened.load.loaded())
        return ExitStatus::Refused;
    return show(context, opened);
}

} // namespace miv::cli
