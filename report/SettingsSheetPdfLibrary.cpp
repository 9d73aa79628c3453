// The exports of the "sheetpdf" library (see SettingsSheetPdfLibrary.h).
#include "report/SettingsSheetPdfLibrary.h"

#include "report/SettingsSheetPdf.h"

#include <QGuiApplication>
#include <type_traits>

using namespace miv;

extern "C" Q_DECL_EXPORT QCoreApplication *mivStartSheetGraphics(int &argc, char **argv)
{
    return new QGuiApplication(argc, argv);
}

extern "C" Q_DECL_EXPORT void mivDrawSettingsSheetPdf(const SettingsSheet::Document &document,
                                                      QByteArray *pdf)
{
    *pdf = SettingsSheetPdf::pdf(document);
}

static_assert(std::is_same_v<decltype(&mivStartSheetGraphics),
                             SettingsSheetPdfLibrary::StartGraphicsFunction>);
static_assert(
        std::is_same_v<decltype(&mivDrawSettingsSheetPdf), SettingsSheetPdfLibrary::DrawFunction>);
