#include "app/ValueEditorDialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace miv {

namespace {

QLabel *boldLabel(QWidget *parent, const QString &name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QToolButton *arrowButton(QWidget *parent, Qt::ArrowType arrow, const QString &name)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setArrowType(arrow);
    button->setFixedSize(18, 12);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

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
    : QDialog(parent), m_editor(request, decimalSeparator), m_messages(messages)
{
    setObjectName(QStringLiteral("ef"));
    setWindowTitle(QString());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    e = new QLineEdit(this);
    e->setObjectName(QStringLiteral("e"));
    e->setMaxLength(m_editor.maxLength());
    e->setText(request.initialText);
    // Room for the few characters a value takes, as on the relay's display.
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QString(m_editor.maxLength() + 2, u'0'))
                     + 12);
    // Text reaches the field only through the key filter.
    e->setContextMenuPolicy(Qt::NoContextMenu);
    e->setDragEnabled(false);
    e->setAcceptDrops(false);
    e->installEventFilter(this);

    SpinButton1 = new QWidget(this);
    SpinButton1->setObjectName(QStringLiteral("SpinButton1"));
    SpinUp = arrowButton(SpinButton1, Qt::UpArrow, QStringLiteral("SpinButton1Up"));
    SpinDown = arrowButton(SpinButton1, Qt::DownArrow, QStringLiteral("SpinButton1Down"));
    auto *arrows = new QVBoxLayout(SpinButton1);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    arrows->addWidget(SpinUp);
    arrows->addWidget(SpinDown);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));

    l1 = boldLabel(this, QStringLiteral("l1"));
    l2 = boldLabel(this, QStringLiteral("l2"));

    auto *fieldRow = new QHBoxLayout;
    fieldRow->setSpacing(1);
    fieldRow->addWidget(e);
    fieldRow->addWidget(SpinButton1);
    fieldRow->addSpacing(12);
    fieldRow->addWidget(BitBtn1);
    fieldRow->addWidget(BitBtn2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fieldRow);
    layout->addWidget(l1);
    layout->addWidget(l2);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(BitBtn1, &QPushButton::clicked, this, &Tef::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(SpinUp, &QToolButton::clicked, this, &Tef::SpinButton1UpClick);
    connect(SpinDown, &QToolButton::clicked, this, &Tef::SpinButton1DownClick);
    FormShow();
}

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
