#pragma once
// One instance of each window for the whole run, created on first use and hidden rather than
// destroyed; windows reach each other through here. It knows no window type: a window is any
// QObject made from the session (W(Session&)).
//
// A widget window is placed each time it is shown: centred over the window that opened it (the
// active one, else the one shown last that still shows, else the one hidden last, as when a work
// area hides itself before it shows the next) and kept inside the available screen area.

#include "platform/twips.h"

#include <QEvent>
#include <QObject>

#include <algorithm>
#include <functional>

#include <map>
#include <memory>
#include <type_traits>
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
        if constexpr (std::is_base_of_v<QWidget, W>)
            m_shows.watch(w, [&w](const QObject* opener) { twips::placeOver(w, opener); });
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
        m_shows.forget();
        while (!m_windows.empty())
            m_windows.pop_back();
    }

private:
    // Follows the windows as they show and hide, and places each one as it is shown.
    class ShowWatch : public QObject {
    public:
        void watch(QObject& window, std::function<void(const QObject* opener)> place)
        {
            m_place[&window] = std::move(place);
            window.installEventFilter(this);
        }
        void forget()
        {
            for (const auto& [window, place] : m_place)
                window->removeEventFilter(this);
            m_place.clear();
            m_showing.clear();
            m_active = m_hidden = nullptr;
        }

    protected:
        bool eventFilter(QObject* window, QEvent* event) override
        {
            switch (event->type()) {
            case QEvent::Show:
                if (!event->spontaneous()) {
                    m_showing.erase(std::remove(m_showing.begin(), m_showing.end(), window), m_showing.end());
                    m_place[window](opener());
                    m_showing.push_back(window);
                }
                break;
            case QEvent::Hide:
                if (!event->spontaneous()) {
                    m_showing.erase(std::remove(m_showing.begin(), m_showing.end(), window), m_showing.end());
                    m_hidden = window;
                }
                break;
            case QEvent::WindowActivate:
                m_active = window;
                break;
            default:
                break;
            }
            return false;
        }

    private:
        // The window a window now showing opens from.
        const QObject* opener() const
        {
            if (m_active && std::find(m_showing.begin(), m_showing.end(), m_active) != m_showing.end())
                return m_active;
            return m_showing.empty() ? m_hidden : m_showing.back();
        }

        std::map<QObject*, std::function<void(const QObject*)>> m_place;
        std::vector<QObject*> m_showing; // oldest first
        QObject* m_active = nullptr;
        QObject* m_hidden = nullptr;
    };

    Session& m_session;
    std::vector<std::pair<std::type_index, std::unique_ptr<QObject>>> m_windows;
    std::function<QObject&()> m_home;
    ShowWatch m_shows;
};
