#pragma once
// Window geometry in twips (1440 to the inch) at the screen's logical resolution.

#include <QMargins>
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

class QObject;
class QString;

namespace twips {

// The part of a screen that windows may take (without task bars and docks): of the screen showing
// w, or the primary screen, unless an area has been set with setAvailableGeometry.
QRect availableGeometry(const QWidget* w = nullptr);
// Sets the area every window takes as its screen's (a laptop's 1366x768, say); an empty rectangle
// gives the screens back their own.
void setAvailableGeometry(const QRect& area);
// The decorations the window system puts around a top-level window: its own once it has been
// shown, else those of a window showing now (none when nothing shows yet).
QMargins frameMargins(const QWidget& window);
// Puts a top-level window with its decorations centred over the window that opened it (at its
// current place when there is none) and keeps it inside the available geometry; a window larger
// than that is made smaller where it can be.
void placeOver(QWidget& window, const QObject* opener);
// Twips that a text needs at the widget's font, with a pixel to spare on each side.
int textWidth(const QWidget* w, const QString& text);

} // namespace twips
