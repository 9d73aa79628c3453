#pragma once

#include <QDialog>
#include <QHash>
#include <QImage>
#include <QUrl>

class QTextBrowser;

namespace miv {

// "Руководство оператора": the operator's manual, the Markdown of
// docs/operator-manual.ru.md with its pictures, compiled into the program
// (resources/manual.qrc), so that it is found alike in the build tree and
// wherever the program is installed. A window of its own beside the main
// window that stays open while the operator works; it only shows: which
// section is opened is the caller's to say.
class OperatorManualDialog : public QDialog
{
    Q_OBJECT
public:
    // The manual as the program holds it.
    static QUrl source();

    explicit OperatorManualDialog(QWidget *parent);

    // The manual of `window` shown (made at the first call, a child of the
    // window, raised afterwards) and scrolled to the section of `anchor`.
    static OperatorManualDialog &showSection(QWidget &window, const QString &anchor);

    QTextBrowser *browser() const { return m_browser; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The pictures the manual shows, by the name the Markdown gives them.
    void takePictures();
    // Each picture at its own size, or scaled down to the page's width: a
    // screenshot is never enlarged, and never needs a sideways scroll.
    void fitPictures();

    struct Picture
    {
        QImage original;
        int shownWidth = 0; // 0 before the first fit
    };
    QTextBrowser *m_browser;
    QHash<QString, Picture> m_pictures;
};

} // namespace miv
