#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// Where a link thread waits: for a display step, for a host lookup, or out its pause after a
// failure. A stop request ends every wait at once, so a link can always be stopped promptly.
// Shared (by std::shared_ptr) with whatever may outlive the link, such as an abandoned lookup.
class LinkWaiter final
{
public:
    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_all();
    }

    bool isStopped() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stopped;
    }

    // Call after changing anything a waiter's condition looks at.
    void notify()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
        }
        m_changed.notify_all();
    }

    // Runs change() under the lock that waiters' conditions are checked under, then wakes
    // them. Anything handed between threads this way is seen whole.
    template <typename Change> void update(Change change)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            change();
        }
        m_changed.notify_all();
    }

    // Waits until done() holds or a stop is requested. True when done() held.
    template <typename Done> bool waitUntil(Done done)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stopped || done(); });
        return done();
    }

    // Sleeps for the given time unless a stop is requested first. True when stopped.
    bool pause(std::chrono::milliseconds duration)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, duration, [&] { return m_stopped; });
    }

    // The thread's last act; whoever deletes what it used waits for this first. Also what
    // makes the join visible to race detectors, which can't see into Qt's own locks.
    void markEnded()
    {
        // Notified under the lock: the waiter may delete this object as soon as it can lock.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ended = true;
        m_changed.notify_all();
    }

    void waitEnded()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_ended; });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopped = false;
    bool m_ended = false;
};
