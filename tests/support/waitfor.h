#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

// Runs the event loop until `done` holds or `timeoutMs` has passed; returns `done()`.
template <typename Predicate> bool waitFor(Predicate done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

// Runs the event loop for `ms` milliseconds, to see that nothing more happens.
inline void settle(int ms) {
    waitFor([] { return false; }, ms);
}
