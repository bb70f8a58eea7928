#include "platform/finetimer.h"

#include <QSocketNotifier>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <sys/timerfd.h>
#include <unistd.h>
#include <cstdint>
#endif

FineTimer::FineTimer(QObject* parent) : QObject(parent)
{
#ifdef Q_OS_LINUX
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] {
            std::uint64_t expirations = 0;
            if (::read(m_fd, &expirations, sizeof expirations) == sizeof expirations)
                fire();
        });
        return;
    }
#endif
    // No timerfd: a precise Qt timer, never early.
    m_fallback = new QTimer(this);
    m_fallback->setSingleShot(true);
    m_fallback->setTimerType(Qt::PreciseTimer);
    connect(m_fallback, &QTimer::timeout, this, &FineTimer::fire);
}

FineTimer::~FineTimer()
{
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        delete m_notifier;
        ::close(m_fd);
    }
#endif
}

void FineTimer::start(std::chrono::nanoseconds after)
{
    using namespace std::chrono;
    m_interval = after < nanoseconds(1) ? nanoseconds(1) : after;
    m_active = true;
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        itimerspec spec{};
        spec.it_value.tv_sec = static_cast<time_t>(duration_cast<seconds>(m_interval).count());
        spec.it_value.tv_nsec = static_cast<long>((m_interval - duration_cast<seconds>(m_interval)).count());
        // Re-arming replaces the deadline and clears an expiry not yet read.
        ::timerfd_settime(m_fd, 0, &spec, nullptr);
        return;
    }
#endif
    m_fallback->start(static_cast<int>(ceil<milliseconds>(m_interval).count()));
}

void FineTimer::stop()
{
    m_active = false;
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        const itimerspec off{};
        ::timerfd_settime(m_fd, 0, &off, nullptr);
        return;
    }
#endif
    m_fallback->stop();
}

void FineTimer::fire()
{
    // An expiry that was already signalled when the timer was stopped or restarted is not a timeout.
    if (!m_active)
        return;
    m_active = false;
    emit timeout();
}
