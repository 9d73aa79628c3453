#include "app/DataModuleEnvironment.h"

namespace miv {

QString DataModuleEnvironment::programFolder() const
{
    if (programDir.isEmpty() || programDir.endsWith(QLatin1Char('/')))
        return programDir;
    return programDir + QLatin1Char('/');
}

QString DataModuleEnvironment::frontIniPath() const
{
    return frontIni.isEmpty() ? programFolder() + QStringLiteral("front.ini") : frontIni;
}

} // namespace miv
