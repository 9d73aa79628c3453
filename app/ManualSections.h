#pragma once

#include <QString>

namespace miv {

// Where the operator's manual tells of what the operator has in view.
namespace ManualSections {

// The anchor of the section that tells of the main window's tab `tab`
// (ActionEnabling::Tab); the manual's beginning for any other.
QString anchorForTab(int tab);

} // namespace ManualSections

} // namespace miv
