#include "report/SettingsSheet.h"

#include "config/AllowedRange.h"
#include "config/ConfigValidation.h"
#include "config/RelayTypeChoice.h"
#include "config/SettingsFile.h"
#include "device/SoftwareVersion.h"
#include "link/RelaySession.h"
#include "report/JournalReportLayout.h"

#include "core/Texts.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace miv {

namespace SettingsSheet {
namespace {

constexpr int lastSheetRow = ConfigRow::motorHours; // rows 0-32: never the password

QList<Field> relayFields(const RelaySession &session, const QString &portName)
{
    const CurrentDevice &device = session.device;
    const QString name = device.deviceName.trimmed();
    return {{QStringLiteral("Устройство"),
             name.isEmpty() ? RelayTypeChoice::typeName(device.typeCode) : name},
            {QStringLiteral("Заводской №"), QString::number(device.factoryNumber)},
            {QStringLiteral("Версия ПО"), softwareVersionText(device.softwareVersion)},
            {QStringLiteral("Адрес"), QString::number(device.networkAddress)},
            {QStringLiteral("Порт"), portName}};
}

QList<Field> fileFields(const HeldSettingsFile &file)
{
    return {{QStringLiteral("Устройство"), RelayTypeChoice::typeName(file.typeCode)},
            {QStringLiteral("Значения"),
             QStringLiteral("из файла ") + QFileInfo(file.path).fileName()}};
}

QString rangeOf(const RelaySession &session, int row, std::optional<int> ratio)
{
    if (session.catalogue.isSwitch(row))
        return row == ConfigRow::tankAlgorithm && !session.device.hasTimer()
                ? QString()
                : AllowedRange::switchText();
    return AllowedRange::text(session.catalogue, row, ratio, session.decimalSeparator);
}

QList<Field> timerFields(const TimerSchedule &timer)
{
    QList<Field> fields;
    for (int mark = 1; mark <= TimerSchedule::markCount; ++mark) {
        const TimerMark &at = timer.marks[size_t(mark - 1)];
        // A mark nobody gave shows empty, as a row with no value does.
        fields.append({SettingsFile::markKey(mark),
                       !at.given ? QString()
                               : at.valid
                               ? at.time.toString(QStringLiteral("HH:mm"))
                               : QStringLiteral("0x%1").arg(at.word, 4, 16, QLatin1Char('0'))});
    }
    for (int button = 1; button < TimerSchedule::buttonCount; ++button)
        fields.append({SettingsFile::intervalKey(button), timer.buttons[size_t(button - 1)]});
    fields.append({SettingsFile::timerKey, timer.buttons[TimerSchedule::buttonCount - 1]});
    return fields;
}

// The row as the sheet shows it. Row 32 holds the motor's hours (the grid
// names it by what a double-click does); a disabled row shows what it keeps.
ParameterLine parameterLine(const RelaySession &session, int row, std::optional<int> ratio)
{
    const ConfigGrid &grid = session.configGrid;
    ParameterLine line{row, grid.text(row, ConfigGrid::Name), grid.text(row, ConfigGrid::Value),
                       rangeOf(session, row, ratio)};
    if (row == ConfigRow::motorHours)
        line.name = QStringLiteral("Моторесурс");
    const QString aside = grid.text(row, ConfigGrid::SavedText);
    if (!aside.isEmpty())
        line.value = disabledValueText(aside);
    else if (!session.catalogue.isSwitch(row) && row != ConfigRow::motorHours)
        line.number = numberOf(line.value, session.decimalSeparator);
    return line;
}

} // namespace

QString disabledValueText(const QString &kept)
{
    return QStringLiteral("%1 (%2)").arg(Texts::functionOff, kept);
}

std::optional<double> numberOf(const QString &text, QChar decimalSeparator)
{
    static const QRegularExpression form(QStringLiteral("^-?[0-9]+([.,][0-9]+)?$"));
    const QString trimmed = text.trimmed();
    if (!form.match(trimmed).hasMatch())
        return std::nullopt;
    QString plain = trimmed;
    plain.replace(decimalSeparator, u'.').replace(u',', u'.');
    bool ok = false;
    const double number = plain.toDouble(&ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

QStringList parameterHeadings()
{
    return {QStringLiteral("№"), QStringLiteral("Параметр"), QStringLiteral("Значение"),
            QStringLiteral("Диапазон")};
}

QStringList signatureParts()
{
    return {QStringLiteral("ФИО"), QStringLiteral("Подпись"), QStringLiteral("Дата")};
}

bool available(const RelaySession &session)
{
    return session.holdsFile()
            || (session.valuesBelongToSelectedRelay()
                && !session.configGrid.relayText(ConfigRow::ratio).isEmpty());
}

Document build(const RelaySession &session, const QString &portName, const QDateTime &moment)
{
    Document document;
    document.title = title;
    document.header.append({QStringLiteral("Дата"), JournalReportLayout::dateText(moment)});
    document.header.append(session.holdsFile() ? fileFields(*session.heldFile)
                                               : relayFields(session, portName));
    const ConfigGrid &grid = session.configGrid;
    const std::optional<int> ratio = ConfigValidation::ratioFromText(
            grid.text(ConfigRow::ratio, ConfigGrid::Value), session.decimalSeparator);
    for (int row = 0; row <= lastSheetRow; ++row)
        document.parameters.append(parameterLine(session, row, ratio));
    if (session.device.hasTimer())
        document.timer = timerFields(session.timer);
    document.signatures = {QStringLiteral("Настроил"), QStringLiteral("Проверил")};
    return document;
}

} // namespace SettingsSheet

} // namespace miv
