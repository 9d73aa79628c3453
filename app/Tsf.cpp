#include "app/Tsf.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>

namespace {
constexpr QSize splashSize{457, 351};
constexpr int splashMs = 1000;
} // namespace

Tsf::Tsf(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("sf"));
    setFixedSize(splashSize);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    timer.setInterval(splashMs);
    connect(&timer, &QTimer::timeout, this, &Tsf::timerTimer);
}

void Tsf::timerTimer()
{
    timer.stop();
}

void Tsf::showForAWhile()
{
    show();
    repaint();
    timer.start();
    while (timer.isActive())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void Tsf::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QSvgRenderer picture(QStringLiteral(":/splash.svg"));
    QSizeF pictureSize = picture.defaultSize();
    pictureSize.scale(size(), Qt::KeepAspectRatio);
    QRectF target(QPointF(0, 0), pictureSize);
    target.moveCenter(QRectF(rect()).center());
    picture.render(&painter, target);
}
