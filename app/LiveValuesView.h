#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace miv {

// What the pages of the relay's present state show and ask through: the
// value labels, the lamps, the command and output buttons, the clock
// pickers, the service fields and the tab shown. The main window gives it;
// the page holds no more of the window than this.
class LiveValuesView
{
public:
    virtual ~LiveValuesView() = default;

    // A value label by slot (Label14..Label31, Label59, Label61).
    virtual void setValueText(int slot, const QString &text) = 0;
    // The start-limit heading Label63.
    virtual void setStartLimitColumnShown(bool shown) = 0;
    // "Работа" and "Стоп".
    virtual void setCommandButtons(bool workEnabled, bool stopEnabled) = 0;
    // Output button Button1..Button6 by its tag, enabled or not.
    virtual void setOutputButtonEnabled(int tag, bool enabled) = 0;
    // Lamp 1..28 in the picture of `state`.
    virtual void led(int state, int lamp) = 0;
    // The date of dtp1 with the time of dtp2.
    virtual QDateTime pickedDateTime() const = 0;
    // The service page's fields Edit1..Edit3: the relay's values in, the typed texts back.
    virtual void showServiceValues(quint32 hours, int minutes, quint16 serialNumber) = 0;
    virtual QStringList serviceFieldTexts() const = 0;
    virtual void setCurrentPage(int page) = 0;
};

} // namespace miv
