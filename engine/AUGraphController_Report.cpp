// The once-a-second position report and the end-of-track report.

#include "engine/AUGraphController.h"

#include "engine/EngineGlobals.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

#include <chrono>
#include <thread>

void AUGraphController::startTheBackGroundJob()
{
    std::weak_ptr<int> alive = mAlive;
    const double interval = mReportInterval;
    RunLoop::detachNewThread([this, alive, interval] {
        std::this_thread::sleep_for(std::chrono::duration<double>(interval));
        if (alive.expired())
            return;
        // The engine is destroyed on the main thread, so the check there is final.
        RunLoop::performOnMainThread(
            [this, alive] {
                if (!alive.expired())
                    makeMusciPlaySliderMovig();
            },
            false);
    });
}

void AUGraphController::makeMusciPlaySliderMovig()
{
    if (!RunLoop::isMainThread())
        return;
    if (!mReportTimer)
        mReportTimer = std::make_unique<DelayedCall>();
    mReportTimer->schedule(mReportInterval, [this] { makeMusciPlaySliderMovig(); });

    if (!mSeekFlag.load(std::memory_order_relaxed))
        return;
    std::optional<QVariantMap> payload;
    {
        std::lock_guard lock(PlayTimerUpdateMutex);
        if (PlayTimerUpdateDictionary) {
            PlayTimerUpdateDictionary->insert(MusicPlayTimerKey, qint64(currentFrame()));
            payload = *PlayTimerUpdateDictionary;
        }
    }
    NotificationCenter::defaultCenter().postNotification(MusicPlayTimerNotification, this,
                                                         payload.value_or(QVariantMap()));
}

void AUGraphController::musicDidEnd()
{
    stopAUGraph();
    QVariantMap report;
    report.insert(MusicPlayTimerKey, qint64(frameCount()));
    report.insert(MusciPlayfinishKey, 1);
    if (EngineControllerIsStopping()) {
        // Another thread is stopping the graph right now and waits for this callback to
        // return; an observer that hands the report to that thread and waits would never
        // get an answer. Only then is the report passed on without waiting.
        std::weak_ptr<int> alive = mAlive;
        RunLoop::performOnMainThread(
            [this, alive, report] {
                if (!alive.expired())
                    NotificationCenter::defaultCenter().postNotification(MusicPlayTimerNotification, this, report);
            },
            false);
        return;
    }
    NotificationCenter::defaultCenter().postNotification(MusicPlayTimerNotification, this, report);
}
