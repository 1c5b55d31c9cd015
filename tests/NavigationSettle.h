#pragma once
// Lets the navigation stack's push, pop and present animations finish, the event loop
// running meanwhile. Shared by the suites that drive screens through the stack.

#include "player/NavigationController.h"

#include <QTest>

inline void settle()
{
    QTest::qWait(NavigationController::kSlideMilliseconds + 100);
}
