#pragma once

#include <QtGlobal>

// The about library's one export, looked up by name at run time:
//
//   extern "C" void ShowAboutFrm(quintptr parentWindow, const char *title, const char *version);
//
// parentWindow: the native handle (QWidget::winId()) of the window the box
//               belongs to, or 0; the box is modal to that window.
// title:        the product title, a zero-terminated UTF-8 string.
// version:      the version line, a zero-terminated UTF-8 string.
// It returns when the operator has closed the box. It needs a running
// QApplication in the calling process. Null strings are shown as empty.
using ShowAboutFrmFunction = void (*)(quintptr parentWindow, const char *title,
                                      const char *version);
inline constexpr char showAboutFrmName[] = "ShowAboutFrm";
