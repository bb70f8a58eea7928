#include "platform/twips.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMargins>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
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

// ---------------------------------------------------------------------------------------------
// Screens and window places

namespace {
QRect g_availableOverride;
}

namespace twips {

QRect availableGeometry(const QWidget* w)
{
    if (!g_availableOverride.isEmpty())
        return g_availableOverride;
    const QScreen* screen = w ? w->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

void setAvailableGeometry(const QRect& area)
{
    g_availableOverride = area;
}

QMargins frameMargins(const QWidget& window)
{
    const auto margins = [](const QWidget& w) {
        const QRect frame = w.frameGeometry();
        const QRect inner = w.geometry();
        return QMargins(inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                        frame.bottom() - inner.bottom());
    };
    if (window.frameGeometry() != window.geometry())
        return margins(window);
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other != &window && other->isVisible() && other->isWindow() && other->frameGeometry() != other->geometry())
            return margins(*other);
    }
    return {};
}

void placeOver(QWidget& window, const QObject* opener)
{
    if (!window.isWindow())
        return;
    const auto* over = qobject_cast<const QWidget*>(opener);
    if (over && (over == &window || !over->isWindow()))
        over = nullptr;
    const QRect area = availableGeometry(over ? over : &window);
    const QMargins margins = frameMargins(window);

    // Too large for the area: smaller where the window allows it.
    const QSize room = area.size().shrunkBy(margins);
    if (window.width() > room.width() || window.height() > room.height()) {
        const QSize smaller = window.size().boundedTo(room).expandedTo(window.minimumSize());
        if (smaller != window.size())
            window.resize(smaller);
    }

    QRect frame(QPoint(0, 0), window.size().grownBy(margins));
    if (over)
        frame.moveCenter(over->frameGeometry().center());
    else
        frame.moveTopLeft(window.frameGeometry().topLeft());
    // Inside the area; a frame larger than the area keeps its top left corner in it.
    frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.left() + area.width() - frame.width())));
    frame.moveTop(std::max(area.top(), std::min(frame.top(), area.top() + area.height() - frame.height())));
    window.move(frame.topLeft());

    // A window manager tells the size of its frame only once the window is shown: place the window
    // again then, so that its title bar is not left above the screen.
    if (margins.isNull() && window.isVisible()) {
        QPointer<QWidget> w(&window);
        QPointer<const QWidget> o(over);
        QTimer::singleShot(200, &window, [w, o] {
            if (w && w->isVisible() && w->frameGeometry() != w->geometry())
                placeOver(*w, o.data());
        });
    }
}

int textWidth(const QWidget* w, const QString& text)
{
    return fromPixels(w->fontMetrics().horizontalAdvance(text) + 2, screenDpi());
}

} // namespace twips
