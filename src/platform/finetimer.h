#pragma once
// A single-shot timer of sub-millisecond resolution for pacing the serial line. QTimer counts whole
// milliseconds and its event loop may wake up to a millisecond after the deadline; the end of an
// answer after a few character times needs better. On Linux it runs on a timerfd watched by the
// event loop; elsewhere on a precise QTimer, rounded up to the next millisecond.

#include <QObject>

#include <chrono>

class QSocketNotifier;
class QTimer;

class FineTimer : public QObject {
    Q_OBJECT
public:
    explicit FineTimer(QObject* parent = nullptr);
    ~FineTimer() override;

    // (Re)starts the timer: timeout() once, after at least `after`.
    void start(std::chrono::nanoseconds after);
    // Starts it with the wait set last.
    void start() { start(m_interval); }
    void setInterval(std::chrono::nanoseconds wait) { m_interval = wait; }
    void stop();
    bool isActive() const { return m_active; }
    // The wait set, or that of the last start.
    std::chrono::nanoseconds interval() const { return m_interval; }

signals:
    void timeout();

private:
    void fire();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_fallback = nullptr;
    bool m_active = false;
    std::chrono::nanoseconds m_interval{0};
};
