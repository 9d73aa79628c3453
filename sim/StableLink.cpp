#include "sim/StableLink.h"

#include <QFile>
#include <QFileInfo>

namespace miv::sim {

StableLink::~StableLink()
{
    if (!m_path.isEmpty() && QFileInfo(m_path).symLinkTarget() == m_target)
        QFile::remove(m_path);
}

bool StableLink::create(const QString &linkPath, const QString &target, QString *error)
{
    const QFileInfo existing(linkPath);
    if (existing.exists() || existing.isSymLink()) {
        if (!existing.isSymLink()) {
            *error = QStringLiteral("a file that is no link is there");
            return false;
        }
        if (!QFile::remove(linkPath)) {
            *error = QStringLiteral("the old link cannot be removed");
            return false;
        }
    }
    QFile targetFile(target);
    if (!targetFile.link(linkPath)) {
        *error = targetFile.errorString();
        return false;
    }
    m_path = linkPath;
    m_target = QFileInfo(linkPath).symLinkTarget();
    return true;
}

} // namespace miv::sim
