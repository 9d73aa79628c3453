#include "app/DialogOperator.h"

#include "app/Tcpf.h"
#include "app/Tpf.h"
#include "app/Tkmf.h"
#include "app/PasswordField.h"
#include "app/Tef.h"
#include "core/Texts.h"
#include "link/FrontIni.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStatusBar>

namespace miv {

namespace {

QMessageBox::Icon boxIcon(Operator::Icon icon)
{
    switch (icon) {
    case Operator::Icon::Information:
        return QMessageBox::Information;
    case Operator::Icon::Warning:
        return QMessageBox::Warning;
    case Operator::Icon::Error:
        return QMessageBox::Critical;
    case Operator::Icon::Question:
        return QMessageBox::Question;
    case Operator::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(Operator::Buttons buttons)
{
    switch (buttons) {
    case Operator::Buttons::Ok:
        return QMessageBox::Ok;
    case Operator::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Operator::Buttons::OkNo:
        return QMessageBox::Ok | QMessageBox::No;
    case Operator::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Operator::Buttons::Abort:
        return QMessageBox::Abort;
    }
    return QMessageBox::Ok;
}

Operator::Answer answerOf(int button)
{
    switch (button) {
    case QMessageBox::Ok:
        return Operator::Answer::Ok;
    case QMessageBox::No:
        return Operator::Answer::No;
    case QMessageBox::Yes:
        return Operator::Answer::Yes;
    case QMessageBox::Abort:
        return Operator::Answer::Abort;
    default:
        return Operator::Answer::Cancel;
    }
}

} // namespace

DialogOperator::DialogOperator(QWidget *parentWindow) : m_parent(parentWindow) { }

void DialogOperator::setStatusBar(QStatusBar *statusBar)
{
    m_statusBar = statusBar;
}

QString DialogOperator::boxText(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

Operator::Answer DialogOperator::message(Icon icon, const QString &text, Buttons buttons,
                                         const QString &caption)
{
    QMessageBox box(boxIcon(icon), caption.isEmpty() ? Texts::applicationTitle : caption,
                    boxText(text), boxButtons(buttons), m_parent);
    box.setTextFormat(Qt::PlainText);
    return answerOf(box.exec());
}

std::optional<QString> DialogOperator::askPassword()
{
    Tpf dialog(m_parent);
    dialog.e1->clear();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.e1->text();
}

std::optional<Operator::PasswordChange> DialogOperator::askPasswordChange()
{
    Tcpf dialog(m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return PasswordChange{dialog.e1->text(), dialog.e2->text(), dialog.e3->text()};
}

std::optional<Operator::ValueEditResult> DialogOperator::editValue(const ValueEditRequest &request)
{
    if (m_valueEditor)
        return m_valueEditor(request, m_parent);
    return Tef::edit(request, *this, m_parent);
}

QString DialogOperator::askFileName(bool save, const QString &filter, const QString &defaultSuffix)
{
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(defaultSuffix);
    // With several filters, a name typed without an extension takes the
    // chosen filter's ("CSV (*.csv)" gives ".csv").
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, defaultSuffix](const QString &chosen) {
                         const QRegularExpressionMatch match =
                                 QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(chosen);
                         dialog.setDefaultSuffix(match.hasMatch() ? match.captured(1)
                                                                  : defaultSuffix);
                     });
    if (!m_frontIni.isEmpty())
        if (const QString folder = lastFileFolder(m_frontIni); !folder.isEmpty())
            dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString chosen = dialog.selectedFiles().constFirst();
    QString error;
    if (!m_frontIni.isEmpty()
        && !storeLastFileFolder(m_frontIni, QFileInfo(chosen).absolutePath(), &error))
        note(error); // the dialogs start elsewhere next time; nothing else is lost
    return chosen;
}

QString DialogOperator::askSaveFileName(const QString &filter, const QString &defaultSuffix)
{
    return askFileName(true, filter, defaultSuffix);
}

QString DialogOperator::askOpenFileName(const QString &filter, const QString &defaultSuffix)
{
    return askFileName(false, filter, defaultSuffix);
}

void DialogOperator::note(const QString &text)
{
    if (m_statusBar)
        m_statusBar->showMessage(text);
}

void DialogOperator::keepAlive()
{
    // One pass is not enough between two blocking exchanges: a line added to a
    // list is laid out on one pass, asks for its repaint on the next and is
    // painted on a third, so a scan showed its found relays only at its end.
    // Events are handled until none is left, 10 ms at most.
    QApplication::processEvents(QEventLoop::AllEvents, 10);
}

std::optional<QString> DialogOperator::askText(const QString &caption, const QString &prompt,
                                               const QString &defaultText)
{
    bool ok = false;
    const QString text =
            QInputDialog::getText(m_parent, caption, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<int> DialogOperator::askChoice(const QString &caption, const QString &prompt,
                                             const QStringList &options, int defaultIndex)
{
    bool ok = false;
    const QString chosen =
            QInputDialog::getItem(m_parent, caption, prompt, options, defaultIndex, false, &ok);
    if (!ok)
        return std::nullopt;
    const qsizetype index = options.indexOf(chosen);
    return index < 0 ? std::nullopt : std::optional<int>(int(index));
}

Operator::Answer DialogOperator::confirmWarning(const QString &warning)
{
    return Tkmf::confirm(warning, m_parent) ? Answer::Ok : Answer::Cancel;
}

} // namespace miv
