#include "monitor/windowfit.h"

#include "platform/twips.h"

#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

namespace windowfit {

QScrollArea* Wrap(QWidget& window, QWidget& content)
{
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new QScrollArea(&window);
    view->setObjectName(QStringLiteral("View"));
    view->setFrameShape(QFrame::NoFrame);
    view->setWidgetResizable(true);
    view->setWidget(&content);
    layout->addWidget(view);
    return view;
}

void Fit(QWidget& window, QScrollArea& view, const QSize& content, bool grows)
{
    QWidget* inner = view.widget();
    inner->setMinimumSize(content);
    inner->setMaximumSize(grows ? QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX) : content);

    // Where the content does not fit, its scroll bar takes room beside or below it.
    const QSize room = twips::availableGeometry(&window).size().shrunkBy(twips::frameMargins(window));
    const int bar = view.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &view);
    bool down = content.height() > room.height();
    const bool across = content.width() + (down ? bar : 0) > room.width();
    down = down || content.height() + (across ? bar : 0) > room.height();
    const QSize whole(content.width() + (down ? bar : 0), content.height() + (across ? bar : 0));

    window.setMinimumSize(content.boundedTo(QSize(160, 120)));
    window.setMaximumSize(grows ? QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX) : whole);
    window.resize(whole.boundedTo(room));
    // A window that shows already stays inside the screen as it grows.
    if (window.isVisible())
        twips::placeOver(window, nullptr);
}

} // namespace windowfit
