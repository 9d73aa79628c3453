#include "core/ProgramFolders.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace miv;

namespace {

// Where "front.ini" and the audit log go, by where the program lies.
TEST(ProgramFolders, installedOnlyInTheBinFolderBuiltForAndWithoutAFrontIniBesideIt)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QDir dir(root.path());
    for (const char *folder : {"usr/bin", "build/bin", "opt/bin"})
        ASSERT_TRUE(dir.mkpath(QString::fromLatin1(folder)));
    QFile ini(dir.filePath(QStringLiteral("opt/bin/front.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.close();
#ifdef Q_OS_UNIX
    // As /bin links to /usr/bin on a merged system.
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("usr/bin")),
                            dir.filePath(QStringLiteral("bin"))));
#endif
    const auto at = [&dir](const char *path) {
        return path[0] ? dir.filePath(QString::fromLatin1(path)) : QString();
    };

    struct Case
    {
        const char *name;
        const char *program;
        const char *installedBin;
        bool installed;
    };
    const Case cases[] = {
            {"installed", "usr/bin", "usr/bin", true},
            {"the same folder spelled otherwise", "usr/bin/", "usr/../usr/bin", true},
#ifdef Q_OS_UNIX
            {"reached through a link", "bin", "usr/bin", true},
#endif
            {"the build tree", "build/bin", "usr/bin", false},
            {"a front.ini beside the installed program", "opt/bin", "opt/bin", false},
            {"no installed folder known", "usr/bin", "", false},
    };
    for (const Case &c : cases) {
        ProgramPlace place;
        place.programFolder = at(c.program);
        place.installedBinFolder = at(c.installedBin);
        place.userSettingsFolder = QStringLiteral("/home/anna/.config/mivconf");
        place.userDataFolder = QStringLiteral("/home/anna/.local/share/mivconf");
        const ProgramFolders folders = decideProgramFolders(place);
        EXPECT_EQ(folders.installed, c.installed) << c.name;
        const QString beside = QDir::cleanPath(place.programFolder);
        EXPECT_EQ(folders.settingsFolder, c.installed ? place.userSettingsFolder : beside)
                << c.name;
        EXPECT_EQ(folders.dataFolder, c.installed ? place.userDataFolder : beside) << c.name;
    }
}

} // namespace
