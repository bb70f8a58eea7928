#include "platform/keyboard.h"

#include "platform/picturebutton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace keyboard {

Action::Action(QAbstractButton* button)
{
    if (!button)
        return;
    run = [b = QPointer<QAbstractButton>(button)] {
        if (b && b->isEnabled() && b->isVisibleTo(b->window()))
            b->click();
    };
}

namespace {

// A button that does something when pressed: not a check box, an option button or a picture
// that only carries a caption.
QAbstractButton* pushButton(QWidget* w)
{
    if (auto* p = qobject_cast<QPushButton*>(w))
        return p;
    return qobject_cast<PictureButton*>(w);
}

bool isReturn(const QKeyEvent& e)
{
    return (e.key() == Qt::Key_Return || e.key() == Qt::Key_Enter) &&
           (e.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// The keys of one window. Key presses reach it when the control with the focus has no use for
// them (a text box, a closed list, a check box pass Return and Esc on).
class WindowKeys : public QObject {
public:
    WindowKeys(QWidget& window, Action enter, Action escape)
        : QObject(&window), m_window(window), m_enter(std::move(enter)), m_escape(std::move(escape))
    {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != &m_window)
            return false;
        switch (event->type()) {
        case QEvent::ShowToParent: shown(); break;
        case QEvent::Hide:
            if (!event->spontaneous())
                hidden();
            break;
        case QEvent::KeyPress: return key(*static_cast<QKeyEvent*>(event));
        default: break;
        }
        return false;
    }

private:
    bool key(const QKeyEvent& e)
    {
        if (isReturn(e)) {
            QWidget* focus = m_window.focusWidget();
            if (QAbstractButton* b = pushButton(focus); b && b->isEnabled()) {
                b->click();
                return true;
            }
            return act(m_enter);
        }
        if (e.key() == Qt::Key_Escape && e.modifiers() == Qt::NoModifier)
            return act(m_escape);
        return false;
    }

    static bool act(const Action& a)
    {
        if (!a.run)
            return false;
        a.run();
        return true;
    }

    void shown()
    {
        QWidget* active = QApplication::activeWindow();
        m_opener = active != &m_window ? active : nullptr;
        const QList<QWidget*> order = LayoutOrder(m_window);
        for (qsizetype i = 1; i < order.size(); ++i)
            QWidget::setTabOrder(order[i - 1], order[i]);
        QWidget* first = nullptr;
        for (QWidget* w : order) {
            if (!w->isVisibleTo(&m_window) || !w->isEnabled())
                continue;
            if (!pushButton(w)) {
                first = w;
                break;
            }
            if (!first)
                first = w;
        }
        m_window.activateWindow();
        if (first)
            first->setFocus(Qt::OtherFocusReason);
    }

    void hidden()
    {
        // Once the click that hid this window has done its work (it may show the opener again),
        // and unless another window has taken the focus meanwhile.
        QTimer::singleShot(0, this, [this, opener = m_opener] {
            const QWidget* active = QApplication::activeWindow();
            if (opener && opener->isVisible() && (!active || active == &m_window || !active->isVisible()))
                opener->activateWindow();
        });
        m_opener = nullptr;
    }

    QWidget& m_window;
    Action m_enter;
    Action m_escape;
    QPointer<QWidget> m_opener;
};

// Return in one box.
class BoxReturn : public QObject {
public:
    BoxReturn(QWidget& box, Action action) : QObject(&box), m_action(std::move(action))
    {
        box.installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !isReturn(*static_cast<QKeyEvent*>(event)) || !m_action.run)
            return false;
        m_action.run();
        return true;
    }

private:
    Action m_action;
};

} // namespace

void Install(QWidget& window, Action enter, Action escape)
{
    new WindowKeys(window, std::move(enter), std::move(escape));
}

void ReturnIn(QWidget& box, Action action)
{
    new BoxReturn(box, std::move(action));
}

QList<QWidget*> LayoutOrder(const QWidget& window)
{
    struct Placed {
        QWidget* w;
        QRect r;
    };
    std::vector<Placed> all;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        // Inner parts of a control (a list's own text box) go with the control that holds them.
        if (w->window() != &window || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy())
            continue;
        all.push_back({w, QRect(w->mapTo(&window, QPoint(0, 0)), w->size())});
    }
    std::stable_sort(all.begin(), all.end(), [](const Placed& a, const Placed& b) { return a.r.top() < b.r.top(); });
    QList<QWidget*> order;
    for (std::size_t i = 0; i < all.size();) {
        const int middle = all[i].r.top() + all[i].r.height() / 2;
        std::size_t end = i + 1;
        while (end < all.size() && all[end].r.top() < middle)
            ++end;
        std::stable_sort(all.begin() + static_cast<std::ptrdiff_t>(i), all.begin() + static_cast<std::ptrdiff_t>(end),
                         [](const Placed& a, const Placed& b) { return a.r.left() < b.r.left(); });
        for (; i < end; ++i)
            order << all[i].w;
    }
    return order;
}

} // namespace keyboard
