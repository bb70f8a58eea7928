#pragma once
// The monitoring windows' drawing surface and the chart frame. The surface keeps what was drawn in
// a pixmap that the paint event shows, so traces survive repaints and each chart step costs one
// line; a whole waveform is one polyline. Coordinates are the window's, in twips; the pen is one
// pixel wide.

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <vector>

class ChartSurface : public QWidget {
    Q_OBJECT
public:
    // Covers its parent from the top left corner; mouse clicks go through to the controls.
    explicit ChartSurface(QWidget* parent);

    void DrawLine(int x0, int y0, int x1, int y1, const QColor& colour);
    // Lines through the points in turn.
    void DrawPolyline(const std::vector<QPoint>& points, const QColor& colour);
    // A filled rectangle without an outline.
    void FillRect(int left, int top, int width, int height, const QColor& colour);
    void Clear();
    // What has been drawn, in pixels of the window.
    QImage Image() const { return m_pixmap.toImage(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPixmap m_pixmap;
};

// A rectangle drawn as an outline only, like a shape with a transparent back: what lies beneath it
// stays visible.
class FrameShape : public QWidget {
    Q_OBJECT
public:
    explicit FrameShape(QWidget* parent);
    QColor BorderColor = Qt::black;

protected:
    void paintEvent(QPaintEvent* event) override;
};
