#pragma once
// Window geometry in twips (1440 to the inch) at the screen's logical resolution.

#include <QRect>

class QWidget;

namespace twips {

inline constexpr int kPerInch = 1440;

// Pixels for a length in twips at the given logical dots per inch (rounded to nearest).
int toPixels(int twips, double dpi);
int fromPixels(int pixels, double dpi);
// The logical dots per inch of the primary screen (96 when there is none).
double screenDpi();

int toPixels(int twips);
QRect rect(int left, int top, int width, int height);
// Places a widget at left/top with width/height, all in twips.
void place(QWidget* w, int left, int top, int width, int height);
void move(QWidget* w, int left, int top);
int left(const QWidget* w);
int top(const QWidget* w);

} // namespace twips
