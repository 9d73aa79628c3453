#include "app/Tef.h"
#include "ui_Tef.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>

namespace miv {

namespace {

// The field text that stays when a typed character replaces the selection.
QString remainingText(const QLineEdit *field)
{
    QString text = field->text();
    if (field->hasSelectedText())
        text.remove(field->selectionStart(), field->selectedText().size());
    return text;
}

} // namespace

Tef::Tef(const Operator::ValueEditRequest &request, Operator &messages, QChar decimalSeparator,
         QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui(std::make_unique<Ui::Tef>()),
      m_editor(request, decimalSeparator),
      m_messages(messages)
{
    ui->setupUi(this);
    e = ui->e;
    SpinButton1 = ui->SpinButton1;
    SpinUp = ui->SpinButton1Up;
    SpinDown = ui->SpinButton1Down;
    BitBtn1 = ui->BitBtn1;
    BitBtn2 = ui->BitBtn2;
    l1 = ui->l1;
    l2 = ui->l2;

    e->setMaxLength(m_editor.maxLength());
    e->setText(request.initialText);
    // Room for the few characters a value takes, as on the relay's display.
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QString(m_editor.maxLength() + 2, u'0'))
                     + 12);
    // Text reaches the field only through the key filter (the form turns off
    // its context menu and dropping).
    e->installEventFilter(this);

    connect(BitBtn1, &QPushButton::clicked, this, &Tef::BitBtn1Click);
    connect(SpinUp, &QToolButton::clicked, this, &Tef::SpinButton1UpClick);
    connect(SpinDown, &QToolButton::clicked, this, &Tef::SpinButton1DownClick);
    FormShow();
}

Tef::~Tef() = default;

std::optional<Operator::ValueEditResult> Tef::edit(const Operator::ValueEditRequest &request,
                                                   Operator &messages, QWidget *parent)
{
    Tef dialog(request, messages, systemDecimalSeparator(), parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.result();
}

void Tef::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Centred on the desktop, whatever window asked.
    if (const QScreen *desktop = screen())
        move(desktop->availableGeometry().center() - rect().center());
    e->setFocus();
    e->selectAll();
}

void Tef::FormShow()
{
    l1->setText(m_editor.rangeText());
    l2->setText(m_editor.request().caption);
}

bool Tef::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == e && event->type() == QEvent::KeyPress)
        return eKeyPress(static_cast<QKeyEvent *>(event));
    return QDialog::eventFilter(watched, event);
}

bool Tef::eKeyPress(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Paste))
        return true;
    const QString text = event->text();
    // Backspace and keys that type nothing (Enter, Escape, arrows, Delete)
    // keep their usual meaning.
    if (event->key() == Qt::Key_Backspace || text.isEmpty() || !text.front().isPrint())
        return false;
    const std::optional<QChar> typed =
            text.size() == 1 ? m_editor.filterKey(text.front(), remainingText(e)) : std::nullopt;
    if (typed)
        e->insert(QString(*typed)); // a full stop goes in as the decimal separator
    return true;
}

void Tef::BitBtn1Click()
{
    const std::optional<ValueEditor::Accepted> accepted = m_editor.accept(e->text());
    if (!accepted) {
        // No number: OK is refused and the operator corrects the field.
        QApplication::beep();
        e->setFocus();
        e->selectAll();
        return;
    }
    for (const QString &message : accepted->clampMessages)
        m_messages.message(Operator::Icon::None, message);
    setFieldText(accepted->text);
    m_result = Operator::ValueEditResult{accepted->text, accepted->value};
    accept();
}

void Tef::SpinButton1DownClick()
{
    if (const std::optional<QString> text = m_editor.spinDown(e->text()))
        setFieldText(*text);
}

void Tef::SpinButton1UpClick()
{
    if (const std::optional<QString> text = m_editor.spinUp(e->text()))
        setFieldText(*text);
}

void Tef::setFieldText(const QString &text)
{
    // A limit from an odd ratio can format longer than the field; never cut it.
    if (text.size() > e->maxLength())
        e->setMaxLength(int(text.size()));
    e->setText(text);
}

} // namespace miv
