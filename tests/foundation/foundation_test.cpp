#include "../EventLoopWait.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(NotificationCenter, DeliversByNameAndSenderInRegistrationOrder)
{
    NotificationCenter center;
    int observerA = 0, observerB = 0, senderX = 0, senderY = 0;
    std::vector<std::string> seen;
    center.addObserver(&observerA, "Tick", nullptr, [&](const Notification& n) {
        seen.push_back("A:" + n.userInfo.value("k").toString().toStdString());
    });
    center.addObserver(&observerB, "Tick", &senderX, [&](const Notification&) { seen.push_back("B"); });
    center.addObserver(&observerB, "", nullptr, [&](const Notification& n) { seen.push_back("all:" + n.name.toStdString()); });

    center.postNotification("Tick", &senderY, {{"k", 7}});
    center.postNotification("Tick", &senderX, {{"k", 8}});
    center.postNotification("Other", &senderX);
    EXPECT_EQ(seen, (std::vector<std::string>{"A:7", "all:Tick", "A:8", "B", "all:Tick", "all:Other"}));

    center.removeObserver(&observerB, "Tick");
    EXPECT_EQ(center.observerCount(), 2u);
    center.removeObserver(&observerB);
    center.removeObserver(&observerA);
    EXPECT_EQ(center.observerCount(), 0u);
}

TEST(NotificationCenter, HandlerMayRemoveObserversDuringAPost)
{
    NotificationCenter center;
    int first = 0, second = 0, calls = 0;
    center.addObserver(&first, "N", nullptr, [&](const Notification&) {
        ++calls;
        center.removeObserver(&second);
        center.removeObserver(&first);
    });
    center.addObserver(&second, "N", nullptr, [&](const Notification&) { ++calls; });
    center.postNotification("N", nullptr);
    center.postNotification("N", nullptr);
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenter, RemovalWaitsForAHandlerRunningOnAnotherThread)
{
    // An observer that unregisters in its destructor: once removal returns, its handler
    // must neither be running nor start, or it would touch a destroyed object.
    NotificationCenter center;
    struct Observer {
        std::atomic<bool> inside{false}, finished{false};
    };
    auto observer = std::make_unique<Observer>();
    Observer* raw = observer.get();
    center.addObserver(raw, "Tick", nullptr, [raw](const Notification&) {
        raw->inside = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        raw->finished = true;
    });
    std::thread poster([&] { center.postNotification("Tick", nullptr); });
    while (!raw->inside)
        std::this_thread::yield();
    center.removeObserver(raw);
    EXPECT_TRUE(raw->finished.load()) << "removal returned while the handler still ran";
    observer.reset();
    center.postNotification("Tick", nullptr);  // nothing left to call
    poster.join();
}

TEST(RunLoop, WorkerHandsWorkToTheMainThreadAndWaits)
{
    std::atomic<bool> ranOnMain{false}, workerDone{false};
    RunLoop::detachNewThread([&] {
        RunLoop::performOnMainThread([&] { ranOnMain = RunLoop::isMainThread(); }, true);
        workerDone = true; // only after the main thread has run the work
    });
    waitFor([&] { return workerDone.load(); }, 3);
    EXPECT_TRUE(workerDone);
    EXPECT_TRUE(ranOnMain);
}

TEST(RunLoop, DelayedCallIsReplacedByALaterScheduleAndCanBeCancelled)
{
    DelayedCall call;
    std::vector<int> ran;
    call.schedule(0.05, [&] { ran.push_back(1); });
    call.schedule(0.05, [&] { ran.push_back(2); });
    EXPECT_TRUE(call.isPending());
    waitFor([&] { return !ran.empty(); }, 3);
    EXPECT_EQ(ran, std::vector<int>{2});

    call.schedule(0.02, [&] { ran.push_back(3); });
    call.cancel();
    waitFor([] { return false; }, 0.08);
    EXPECT_EQ(ran, std::vector<int>{2});
    EXPECT_FALSE(call.isPending());
}
