#include "core/ProgramFolders.h"
#include "report/SettingsSheetPdfLibrary.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

using namespace miv;

namespace {

// cmake --install put the programs in bin/ and the about library in the
// installed library folder, not beside them: the window finds it there from
// its own folder.
TEST(InstalledTree, theWindowLoadsTheAboutLibraryFromTheInstalledLibraryFolder)
{
    const QString prefix = QDir(qEnvironmentVariable("MIV_INSTALLED_PREFIX")).canonicalPath();
    ASSERT_FALSE(prefix.isEmpty()) << "no installed tree in MIV_INSTALLED_PREFIX";
    const QDir bin(prefix + QStringLiteral("/bin"));
    ASSERT_TRUE(QFileInfo(bin.filePath(QStringLiteral("mivconf"))).isExecutable());
    EXPECT_TRUE(bin.entryList({QStringLiteral("*about*")}).isEmpty());

    QLibrary library;
    ASSERT_TRUE(loadAboutLibrary(library, bin.path())) << library.errorString().toStdString();
    EXPECT_TRUE(library.fileName().startsWith(prefix + QStringLiteral("/lib/")))
            << library.fileName().toStdString();
    EXPECT_NE(library.resolve("ShowAboutFrm"), nullptr);
    library.unload();
}

// mivctl finds the library that draws its PDFs the same way, with both exports.
TEST(InstalledTree, mivctlLoadsTheSheetPdfLibraryFromTheInstalledLibraryFolder)
{
    const QString prefix = QDir(qEnvironmentVariable("MIV_INSTALLED_PREFIX")).canonicalPath();
    ASSERT_FALSE(prefix.isEmpty()) << "no installed tree in MIV_INSTALLED_PREFIX";
    const QString bin = prefix + QStringLiteral("/bin");
    QLibrary library;
    ASSERT_TRUE(loadProgramLibrary(library, bin, SettingsSheetPdfLibrary::name))
            << library.errorString().toStdString();
    EXPECT_TRUE(library.fileName().startsWith(prefix + QStringLiteral("/lib/")))
            << library.fileName().toStdString();
    EXPECT_NE(library.resolve(SettingsSheetPdfLibrary::startGraphicsName), nullptr);
    EXPECT_NE(library.resolve(SettingsSheetPdfLibrary::drawName), nullptr);
    library.unload();
}

} // namespace
