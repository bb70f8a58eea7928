#include "monitor/chartsurface.h"

#include "platform/twips.h"

#include <QPainter>
#include <QPolygon>
#include <QResizeEvent>

ChartSurface::ChartSurface(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    move(0, 0);
    resize(parent->size());
}

void ChartSurface::DrawLine(int x0, int y0, int x1, int y1, const QColor& colour)
{
    if (m_pixmap.isNull())
        return;
    QPainter p(&m_pixmap);
    p.setPen(QPen(colour, 1));
    const QPoint a(twips::toPixels(x0), twips::toPixels(y0));
    const QPoint b(twips::toPixels(x1), twips::toPixels(y1));
    p.drawLine(a, b);
    p.end();
    update(QRect(a, b).normalized().adjusted(-1, -1, 1, 1));
}

void ChartSurface::DrawPolyline(const std::vector<QPoint>& points, const QColor& colour)
{
    if (m_pixmap.isNull() || points.empty())
        return;
    QPolygon line;
    line.reserve(static_cast<qsizetype>(points.size()));
    for (const QPoint& p : points)
        line << QPoint(twips::toPixels(p.x()), twips::toPixels(p.y()));
    QPainter p(&m_pixmap);
    p.setPen(QPen(colour, 1));
    p.drawPolyline(line);
    p.end();
    update(line.boundingRect().adjusted(-1, -1, 1, 1));
}

void ChartSurface::FillRect(int left, int top, int width, int height, const QColor& colour)
{
    if (m_pixmap.isNull())
        return;
    const QRect r = twips::rect(left, top, width, height);
    QPainter p(&m_pixmap);
    p.fillRect(r, colour);
    p.end();
    update(r);
}

void ChartSurface::Clear()
{
    m_pixmap.fill(Qt::transparent);
    update();
}

void ChartSurface::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.drawPixmap(event->rect(), m_pixmap, event->rect());
}

void ChartSurface::resizeEvent(QResizeEvent* event)
{
    // Growing keeps what was drawn; the surface never shrinks, so a lower window keeps its traces
    // for when it grows again.
    const QSize need = event->size().expandedTo(m_pixmap.size());
    if (need == m_pixmap.size())
        return;
    QPixmap grown(need);
    grown.fill(Qt::transparent);
    if (!m_pixmap.isNull()) {
        QPainter p(&grown);
        p.drawPixmap(0, 0, m_pixmap);
    }
    m_pixmap = grown;
}

FrameShape::FrameShape(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void FrameShape::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(QPen(BorderColor, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}
