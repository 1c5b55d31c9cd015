#pragma once
// Runs the main event loop until `done` holds or `seconds` pass; answers whether it holds.
// Shared by the test suites that wait for work handed to the main thread.

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

inline bool waitFor(const std::function<bool()>& done, double seconds = 10.0)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}
