#include "app/ImageList.h"

#include <QApplication>
#include <QDirIterator>
#include <QIconEngine>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

// The pictures are compiled into the static widget library; its resource
// initialiser has to be named once so that the linker keeps it. Named
// outside any namespace, where the resource compiler defines it.
static void initialiseResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(done);
}

namespace miv {

namespace {

QPixmap renderSvg(const QString &path, QSize size, qreal devicePixelRatio)
{
    const QSize pixels = (QSizeF(size) * devicePixelRatio).toSize();
    QPixmap pixmap(pixels);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

class SvgIconEngine final : public QIconEngine
{
public:
    explicit SvgIconEngine(QString path) : m_path(std::move(path)) { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, ratio));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        QPixmap pixmap = renderSvg(m_path, size, scale);
        if (mode == QIcon::Disabled && qApp) {
            QStyleOption option;
            option.palette = QApplication::palette();
            pixmap = QApplication::style()->generatedIconPixmap(QIcon::Disabled, pixmap, &option);
        }
        return pixmap;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine *clone() const override { return new SvgIconEngine(m_path); }
    QString key() const override { return QStringLiteral("SvgIconEngine"); }

private:
    QString m_path;
};

QStringList picturesIn(const QString &folder)
{
    initialiseResources();
    QStringList paths;
    QDirIterator it(folder, {QStringLiteral("*.svg")});
    while (it.hasNext())
        paths << it.next();
    // The file names begin with the picture's index.
    paths.sort();
    return paths;
}

} // namespace

ImageList::ImageList(QStringList resourcePaths, QSize size)
    : m_paths(std::move(resourcePaths)), m_size(size)
{
    initialiseResources();
}

ImageList ImageList::toolbarIcons()
{
    return ImageList(picturesIn(QStringLiteral(":/icons")), QSize(16, 16));
}

ImageList ImageList::rowPictures()
{
    return ImageList(picturesIn(QStringLiteral(":/rows")), QSize(24, 24));
}

ImageList ImageList::lampIcons()
{
    return ImageList(picturesIn(QStringLiteral(":/lamps")), QSize(16, 16));
}

QIcon ImageList::icon(int index) const
{
    if (index < 0 || index >= count())
        return {};
    return QIcon(new SvgIconEngine(m_paths.at(index)));
}

QPixmap ImageList::pixmap(int index, qreal devicePixelRatio) const
{
    if (index < 0 || index >= count())
        return {};
    const QPair<int, qreal> key(index, devicePixelRatio);
    auto drawn = m_drawn.constFind(key);
    if (drawn == m_drawn.cend())
        drawn = m_drawn.insert(key, renderSvg(m_paths.at(index), m_size, devicePixelRatio));
    return *drawn;
}

} // namespace miv
