#pragma once
// A filled shape, as the link indicator uses it. Colours are given as colour values: red in bits
// 0..7, green in 8..15, blue in 16..23 (65535 yellow, 65280 green, 16711680 blue).

#include <QWidget>

class Shape : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int FillColor READ FillColor WRITE setFillColor)
public:
    explicit Shape(QWidget* parent = nullptr);
    int FillColor() const { return m_fill; }
    void setFillColor(int colourValue);
    static QColor toColor(int colourValue);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_fill = 0xC0C0C0;
};
