#include "platform/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace twips {

int toPixels(int t, double dpi)
{
    return static_cast<int>(std::lround(t * dpi / kPerInch));
}

int fromPixels(int pixels, double dpi)
{
    return dpi > 0 ? static_cast<int>(std::lround(pixels * kPerInch / dpi)) : 0;
}

double screenDpi()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 0.0;
    return dpi > 0 ? dpi : 96.0;
}

int toPixels(int t)
{
    return toPixels(t, screenDpi());
}

QRect rect(int l, int t, int w, int h)
{
    const double dpi = screenDpi();
    return QRect(toPixels(l, dpi), toPixels(t, dpi), toPixels(w, dpi), toPixels(h, dpi));
}

void place(QWidget* w, int l, int t, int width, int height)
{
    w->setGeometry(rect(l, t, width, height));
}

void move(QWidget* w, int l, int t)
{
    const double dpi = screenDpi();
    w->move(toPixels(l, dpi), toPixels(t, dpi));
}

int left(const QWidget* w)
{
    return fromPixels(w->x(), screenDpi());
}

int top(const QWidget* w)
{
    return fromPixels(w->y(), screenDpi());
}

} // namespace twips
