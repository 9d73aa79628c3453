#include "cli/SheetPdfDrawing.h"

#include "core/ProgramFolders.h"
#include "report/SettingsSheetPdfLibrary.h"

#include <QLibrary>

namespace miv::cli {

namespace {

// Kept loaded to the end of the run: the application it starts lives in it.
QLibrary &sheetPdfLibrary()
{
    static QLibrary library;
    return library;
}

const QString missingLibrary =
        QStringLiteral("a PDF is drawn by the library %1 of the window's package (mivconf), "
                       "which could not be loaded: %2");

} // namespace

bool loadSheetPdfLibrary(const QString &programFolder, QString *problem)
{
    QLibrary &library = sheetPdfLibrary();
    if (library.isLoaded())
        return true;
    if (loadProgramLibrary(library, programFolder, SettingsSheetPdfLibrary::name)
        && library.resolve(SettingsSheetPdfLibrary::startGraphicsName)
        && library.resolve(SettingsSheetPdfLibrary::drawName))
        return true;
    *problem = missingLibrary.arg(SettingsSheetPdfLibrary::name, library.errorString());
    library.unload();
    return false;
}

std::unique_ptr<QCoreApplication> startSheetPdfGraphics(int &argc, char **argv)
{
    const auto start = reinterpret_cast<SettingsSheetPdfLibrary::StartGraphicsFunction>(
            sheetPdfLibrary().resolve(SettingsSheetPdfLibrary::startGraphicsName));
    if (!start)
        return nullptr;
    return std::unique_ptr<QCoreApplication>(start(argc, argv));
}

std::optional<QByteArray> drawSheetPdf(const SettingsSheet::Document &document, QString *problem)
{
    const auto draw = reinterpret_cast<SettingsSheetPdfLibrary::DrawFunction>(
            sheetPdfLibrary().resolve(SettingsSheetPdfLibrary::drawName));
    const QCoreApplication *application = QCoreApplication::instance();
    if (!draw || !application || !application->inherits("QGuiApplication")) {
        *problem = QStringLiteral("a PDF needs the graphics library, which was not started");
        return std::nullopt;
    }
    QByteArray pdf;
    draw(document, &pdf);
    return pdf;
}

} // namespace miv::cli
