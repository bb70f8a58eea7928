#include "platform/shape.h"

#include <QPainter>

Shape::Shape(QWidget* parent) : QWidget(parent) {}

QColor Shape::toColor(int v)
{
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

void Shape::setFillColor(int colourValue)
{
    if (m_fill == colourValue)
        return;
    m_fill = colourValue;
    update();
}

void Shape::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(toColor(m_fill));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}
