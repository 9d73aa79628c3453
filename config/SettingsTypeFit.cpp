#include "config/SettingsTypeFit.h"

#include "config/RelayTypeChoice.h"
#include "core/CurrentDevice.h"
#include "core/HeldSettingsFile.h"

#include <QStringList>

namespace miv {

namespace SettingsTypeFit {
namespace {

const QString timerPart = QStringLiteral("управления по таймеру (метки, интервалы, «Таймер»)");
const QString tankPart = QStringLiteral("алгоритма накачки/выкачки резервуара");
// %1: the file, %2: the target, %3: what it lacks.
const QString dropped = QStringLiteral(
        "Файл настроек «%1» составлен для МИВ-06, а %2: у него нет %3, и эти значения файла "
        "перенесены не будут.");
const QString keptAsIs = QStringLiteral(
        "Файл настроек «%1» составлен для %3, а %2: управления по таймеру и %4 в файле нет, "
        "в устройстве они останутся как есть.");

QString targetText(quint16 typeCode, Target target)
{
    const QString name = RelayTypeChoice::typeName(typeCode);
    return target == Target::Relay ? QStringLiteral("устройство — ") + name
                                   : QStringLiteral("выбран тип ") + name;
}

} // namespace

Content contentOf(const SettingsSnapshot &snapshot)
{
    Content content;
    for (const QString &caption : snapshot.buttons)
        content.timer = content.timer || !caption.isEmpty();
    for (const QTime &mark : snapshot.marks)
        content.timer = content.timer || (mark.isValid() && mark != QTime(0, 0));
    const QString tank = snapshot.values[ConfigRow::tankAlgorithm].trimmed();
    content.tankAlgorithm = tank == onOffTexts[0] || tank == onOffTexts[1];
    return content;
}

QString warning(const QString &fileName, std::optional<quint16> fileTypeCode,
                const Content &content, quint16 typeCode, Target target)
{
    const bool fileOfTypeSix = fileTypeCode && relayTypeHasTimer(*fileTypeCode);
    if (!relayTypeHasTimer(typeCode)) {
        QStringList lacking;
        if (content.timer || fileOfTypeSix)
            lacking << timerPart;
        if (content.tankAlgorithm || fileOfTypeSix)
            lacking << tankPart;
        if (lacking.isEmpty())
            return {};
        return dropped.arg(fileName, targetText(typeCode, target),
                           lacking.join(QStringLiteral(" и ")));
    }
    if (!fileTypeCode || fileOfTypeSix)
        return {};
    return keptAsIs.arg(fileName, targetText(typeCode, target),
                        RelayTypeChoice::typeName(*fileTypeCode), tankPart);
}

} // namespace SettingsTypeFit

} // namespace miv
