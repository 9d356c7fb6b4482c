// Runs the Qt event loop of a test until a condition holds, for work that reports back by queued
// calls or timers.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

namespace testsupport {

// True once `done` holds; false when `ms` passed first.
template <typename Condition>
bool RunEventsUntil(Condition done, int ms = 8000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

}  // namespace testsupport
