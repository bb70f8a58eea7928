#pragma once
// Keyboard use of the setup windows. Return stores and goes back, Esc leaves without storing, Tab
// walks the controls in the order they are laid out, and a window that is shown takes the focus:
// on a desktop without a window manager nothing else gives it, and the keys would go nowhere.

#include <QList>

#include <concepts>
#include <cstddef>
#include <functional>
#include <utility>

class QAbstractButton;
class QWidget;

namespace keyboard {

// What a key does: press a button (while it is shown and enabled), or run an action. Empty: the
// key does nothing.
struct Action {
    Action() = default;
    Action(std::nullptr_t) {}
    Action(QAbstractButton* button);
    template <class F>
        requires std::invocable<F&>
    Action(F f) : run(std::move(f))
    {
    }
    std::function<void()> run;
};

// Gives a window its keys; called once, when its controls are made. Return does `enter` (the
// window's store-and-back), Esc does `escape` (its way out without storing); Return on a focused
// push button presses that button. Each time the window is shown, its Tab order is laid out from
// the controls' places, it asks to become the active window, and its first input (its first
// control in that order that is not a push button) takes the focus. When it is hidden, the window
// that was active when it was shown gets the focus back, if that one is still on screen.
void Install(QWidget& window, Action enter, Action escape);

// Return in one box does `action` instead of the window's `enter` (an entry box with its own
// button).
void ReturnIn(QWidget& box, Action action);

// The controls of a window that Tab can reach, in the order of their places: top to bottom in
// rows, each row left to right. A control belongs to a row when its top lies above the middle of
// the row's first control.
QList<QWidget*> LayoutOrder(const QWidget& window);

} // namespace keyboard
