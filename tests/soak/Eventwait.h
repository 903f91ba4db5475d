#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

// Runs the event loop as the program's own would, until done() holds or the limit passes.
// QTRY_ and QTest::qWait sleep between their rounds, which slows a link that needs the GUI
// thread for every line to a crawl, so they can't show how fast it comes back.
template <typename Done> bool runEventsUntil(Done done, int limitMs)
{
    // Wakes the waiting loop now and then, so the limit is seen even when nothing happens.
    QTimer pulse;
    pulse.start(20);
    const QDeadlineTimer deadline(limitMs);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return done();
}

inline void runEventsFor(int milliseconds)
{
    runEventsUntil([] { return false; }, milliseconds);
}
