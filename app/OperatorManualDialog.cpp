#include "app/OperatorManualDialog.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

// The manual is compiled into the static widget library; its resource
// initialiser has to be named once so that the linker keeps it. Named
// outside any namespace, where the resource compiler defines it.
static void initialiseManualResource()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(manual);
        return true;
    }();
    Q_UNUSED(done);
}

namespace miv {

QUrl OperatorManualDialog::source()
{
    return QUrl(QStringLiteral("qrc:/manual/operator-manual.ru.md"));
}

OperatorManualDialog::OperatorManualDialog(QWidget *parent) : QDialog(parent)
{
    initialiseManualResource();
    setObjectName(QStringLiteral("manual"));
    setWindowTitle(QStringLiteral("Руководство оператора"));
    auto *layout = new QVBoxLayout(this);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("manualText"));
    m_browser->viewport()->installEventFilter(this);
    layout->addWidget(m_browser);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // The widest screenshot (900 pixels) whole where the screen allows it.
    QSize size(980, 760);
    if (const QScreen *screen = parent ? parent->screen() : nullptr)
        size = size.boundedTo(screen->availableSize() * 0.9);
    resize(size);
    m_browser->setSource(source(), QTextDocument::MarkdownResource);
    takePictures();
}

OperatorManualDialog &OperatorManualDialog::showSection(QWidget &window, const QString &anchor)
{
    auto *dialog = window.findChild<OperatorManualDialog *>(QString(), Qt::FindDirectChildrenOnly);
    if (!dialog)
        dialog = new OperatorManualDialog(&window);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    // Scrolled once shown, when the page's width, and so the pictures' sizes
    // and where each section lies, are known.
    dialog->fitPictures();
    dialog->m_browser->scrollToAnchor(anchor);
    return *dialog;
}

bool OperatorManualDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_browser->viewport() && event->type() == QEvent::Resize)
        fitPictures();
    return QDialog::eventFilter(watched, event);
}

void OperatorManualDialog::takePictures()
{
    QTextDocument *document = m_browser->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QString name = format.toImageFormat().name();
            const QUrl url = m_browser->source().resolved(QUrl(name));
            m_pictures.insert(name, {QImage(QLatin1Char(':') + url.path()), 0});
        }
}

void OperatorManualDialog::fitPictures()
{
    QTextDocument *document = m_browser->document();
    const int room = m_browser->viewport()->width() - 2 * int(document->documentMargin()) - 2;
    if (room <= 0)
        return;
    bool changed = false;
    for (auto it = m_pictures.begin(); it != m_pictures.end(); ++it) {
        const QImage &picture = it->original;
        const int width = std::min(picture.width(), room);
        if (picture.isNull() || width == it->shownWidth)
            continue;
        // Put in place of the file, so that the page's layout takes the
        // picture's size without its text being edited. The document looks
        // a resource up by its name resolved against the page's address.
        document->addResource(
                QTextDocument::ImageResource, document->baseUrl().resolved(QUrl(it.key())),
                width == picture.width() ? picture
                                         : picture.scaledToWidth(width, Qt::SmoothTransformation));
        it->shownWidth = width;
        changed = true;
    }
    if (changed)
        document->markContentsDirty(0, document->characterCount());
}

} // namespace miv
