#include "app/AboutBox.h"

#include "about/ShowAboutFrm.h"
#include "core/Operator.h"
#include "core/ProgramFolders.h"
#include "core/Texts.h"

#include <QWidget>

using namespace miv;

void AboutBox::show(QWidget &window, const QString &programDir, Operator &op)
{
    if (!m_library.isLoaded() && !loadAboutLibrary(m_library, programDir)) {
        op.message(Operator::Icon::Error, Texts::libraryLoadError, Operator::Buttons::Abort);
        return;
    }
    // The library stays loaded for the rest of the run.
    const auto showAbout =
            reinterpret_cast<ShowAboutFrmFunction>(m_library.resolve(showAboutFrmName));
    if (!showAbout)
        return;
    showAbout(quintptr(window.winId()), Texts::productTitle.toUtf8().constData(),
              Texts::aboutVersionLine.toUtf8().constData());
}
