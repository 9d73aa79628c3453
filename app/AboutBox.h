#pragma once

#include <QLibrary>
#include <QString>

class QWidget;
namespace miv {
class Operator;
}

// "О программе...": the about library, loaded at the first call and kept,
// and its export ShowAboutFrm called with the window, the product title and
// the version line.
class AboutBox
{
public:
    void show(QWidget &window, const QString &programDir, miv::Operator &op);

private:
    QLibrary m_library;
};
