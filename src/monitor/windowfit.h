#pragma once
// The monitoring windows hold their controls on a content widget inside a scroll area that fills
// the window. A window opens with the whole of its content when the screen has room for it, else
// as large as the screen's available area allows, and the rest scrolls. A window with a chart may
// be made larger than its content, and the chart grows with it.

class QScrollArea;
class QSize;
class QWidget;

namespace windowfit {

// Puts content into a scroll area named "View" that fills the window; returns the area.
QScrollArea* Wrap(QWidget& window, QWidget& content);
// Sizes the window for content of the given size in pixels (the content never gets smaller than
// that; with grows it may get larger).
void Fit(QWidget& window, QScrollArea& view, const QSize& content, bool grows);

} // namespace windowfit
