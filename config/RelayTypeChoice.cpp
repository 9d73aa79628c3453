#include "config/RelayTypeChoice.h"

#include "core/Operator.h"
#include "link/IniFile.h"

#include <algorithm>
#include <QStringList>

namespace miv {

namespace RelayTypeChoice {
namespace {

const QString section = QStringLiteral("settings");
const QString key = QStringLiteral("RelayType");
const QString caption = QStringLiteral("Тип реле");
const QString prompt = QStringLiteral("Для какого реле открыть файл настроек?");
const QString notKept = QStringLiteral("Тип реле не запомнен: %1");

bool isKnown(quint16 typeCode)
{
    return std::find(typeCodes.begin(), typeCodes.end(), typeCode) != typeCodes.end();
}

} // namespace

QString typeName(quint16 typeCode)
{
    return QStringLiteral("МИВ-%1").arg(typeCode, 2, 10, QLatin1Char('0'));
}

std::optional<quint16> parseType(const QString &text)
{
    const QString trimmed = text.trimmed();
    for (quint16 typeCode : typeCodes)
        if (trimmed == QString::number(typeCode) || trimmed == typeName(typeCode))
            return typeCode;
    return std::nullopt;
}

std::optional<quint16> lastChosen(const QString &frontIni)
{
    IniFile file(frontIni);
    if (!file.load())
        return std::nullopt;
    bool ok = false;
    const uint typeCode = file.value(section, key).toUInt(&ok);
    if (!ok || !isKnown(quint16(typeCode)))
        return std::nullopt;
    return quint16(typeCode);
}

bool remember(const QString &frontIni, quint16 typeCode, QString *error)
{
    IniFile file(frontIni);
    // A file that cannot be read is not overwritten: its port settings would be lost.
    if (!file.load(error))
        return false;
    file.setValue(section, key, QString::number(typeCode));
    return file.save(error);
}

std::optional<quint16> ask(Operator &op, const QString &frontIni)
{
    QStringList names;
    int offered = 0;
    const std::optional<quint16> last = lastChosen(frontIni);
    for (size_t i = 0; i < typeCodes.size(); ++i) {
        names << typeName(typeCodes[i]);
        if (last == typeCodes[i])
            offered = int(i);
    }
    const std::optional<int> chosen = op.askChoice(caption, prompt, names, offered);
    if (!chosen || *chosen < 0 || *chosen >= int(typeCodes.size()))
        return std::nullopt;
    const quint16 typeCode = typeCodes[size_t(*chosen)];
    QString error;
    if (typeCode != last && !remember(frontIni, typeCode, &error))
        op.note(notKept.arg(error));
    return typeCode;
}

} // namespace RelayTypeChoice

} // namespace miv
