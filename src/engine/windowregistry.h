#pragma once
// One instance of each window for the whole run, created on first use and hidden rather than
// destroyed; windows reach each other through here. It knows no window type: a window is any
// QObject made from the session (W(Session&)).

#include <QObject>

#include <functional>

#include <memory>
#include <typeindex>
#include <vector>

class QWidget;
class Session;

class WindowRegistry {
public:
    explicit WindowRegistry(Session& session) : m_session(session) {}
    ~WindowRegistry() { clear(); }
    WindowRegistry(const WindowRegistry&) = delete;
    WindowRegistry& operator=(const WindowRegistry&) = delete;

    // The window of type W, created now if it does not exist yet.
    template <class W>
    W& get()
    {
        if (W* w = find<W>())
            return *w;
        auto made = std::make_unique<W>(m_session);
        W& w = *made;
        m_windows.push_back({std::type_index(typeid(W)), std::move(made)});
        return w;
    }

    // The window of type W if it exists, else nothing (nothing is created).
    template <class W>
    W* find() const
    {
        for (const auto& [type, window] : m_windows) {
            if (type == std::type_index(typeid(W)))
                return static_cast<W*>(window.get());
        }
        return nullptr;
    }

    // The start window, to which every work area returns (created on first use, as any window).
    void setHome(std::function<QObject&()> home) { m_home = std::move(home); }
    template <class Widget = QWidget>
    void showHome()
    {
        if (!m_home)
            return;
        if (auto* w = qobject_cast<Widget*>(&m_home()))
            w->show();
    }

    // Destroys the windows, the newest first.
    void clear()
    {
        while (!m_windows.empty())
            m_windows.pop_back();
    }

private:
    Session& m_session;
    std::vector<std::pair<std::type_index, std::unique_ptr<QObject>>> m_windows;
    std::function<QObject&()> m_home;
};
