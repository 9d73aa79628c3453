#include "app/TimerTabBinding.h"

#include "config/TimerWriter.h"
#include "core/Texts.h"
#include "core/TimerSchedule.h"

#include <QPushButton>
#include <QTimeEdit>

namespace miv {

namespace {

const QString flaggedStyle = QStringLiteral("color: red;");

} // namespace

TimerTabBinding::TimerTabBinding(TimerSchedule &timer, const QList<QTimeEdit *> &pickers,
                                 const QList<QPushButton *> &buttons, QObject *parent)
    : QObject(parent),
      m_timer(timer),
      m_pickers(pickers.mid(0, TimerSchedule::markCount)),
      m_buttons(buttons.mid(0, TimerSchedule::buttonCount))
{
    for (int i = 0; i < m_pickers.size(); ++i)
        connect(m_pickers[i], &QTimeEdit::timeChanged, this, [this, i] { markEdited(i + 1); });
}

void TimerTabBinding::show()
{
    m_showing = true;
    for (int mark = 1; mark <= m_pickers.size(); ++mark)
        showMark(mark);
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setText(m_timer.buttons[size_t(i)]);
    m_showing = false;
}

void TimerTabBinding::showMark(int mark)
{
    const TimerMark &value = m_timer.marks[size_t(mark - 1)];
    QTimeEdit *picker = m_pickers[mark - 1];
    picker->setTime(value.time);
    picker->setStyleSheet(value.valid ? QString() : flaggedStyle);
    const QString word = QString::number(value.word, 16).rightJustified(4, u'0').toUpper();
    picker->setToolTip(value.valid ? QString() : Texts::timerMarkInvalidToolTip.arg(word));
}

void TimerTabBinding::markEdited(int mark)
{
    if (m_showing)
        return;
    const QTime time = m_pickers[mark - 1]->time();
    m_timer.marks[size_t(mark - 1)] = {time, TimerSchedule::markWord(time), true};
    showMark(mark);
}

void TimerTabBinding::click(int button)
{
    if (button < 1 || button > m_buttons.size())
        return;
    toggleTimerButton(m_timer, button);
    m_buttons[button - 1]->setText(m_timer.buttons[size_t(button - 1)]);
}

bool TimerTabBinding::isFlagged(int mark) const
{
    return mark >= 1 && mark <= m_pickers.size() && !m_pickers[mark - 1]->toolTip().isEmpty();
}

} // namespace miv
