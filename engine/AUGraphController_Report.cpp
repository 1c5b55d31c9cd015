// The once-a-second position report and the end-of-track report.

#include "engine/AUGraphController.h"

#include "engine/EngineGlobals.h"
#include "platform/foundation/MainThreadSignal.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

#include <chrono>
#include <cstdio>
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
    // A position that has not moved since the last report (nothing is read: a paused or
    // not yet started stream) is not reported again, so the tick costs next to nothing.
    const SInt64 frame = currentFrame();
    if (frame == mLastReportedFrame)
        return;
    mLastReportedFrame = frame;
    std::optional<QVariantMap> payload;
    {
        // What is shown is what is heard, not what was read: the output still holds up to
        // its buffering (and the effects theirs) of what was read.
        const SInt64 heard = heardFrame();
        std::lock_guard lock(PlayTimerUpdateMutex);
        if (PlayTimerUpdateDictionary) {
            PlayTimerUpdateDictionary->insert(MusicPlayTimerKey, qint64(heard));
            payload = *PlayTimerUpdateDictionary;
        }
    }
    NotificationCenter::defaultCenter().postNotification(MusicPlayTimerNotification, this,
                                                         payload.value_or(QVariantMap()));
}

void AUGraphController::musicDidEnd()
{
    stopFromRenderThread();
    mEndFrameCount.store(frameCount(), std::memory_order_relaxed);
    mEndsPending.fetch_add(1, std::memory_order_release);
    mRenderReports->raise();
}

void AUGraphController::stopFromRenderThread()
{
    // Marks the output stopped (it winds down once this callback returns); nothing here
    // waits, logs or allocates.
    if (AUGraphStop(mGraph) == noErr) {
        mIsPlaying.store(false);
        mSeekFlag.store(false);
        SeekLock.store(false, std::memory_order_seq_cst);
    }
}

void AUGraphController::deliverRenderReports()
{
    // Moves onto a prepared song come before any stop: a stop ends the chain of songs.
    for (int moves = mMovesPending.exchange(0, std::memory_order_acquire); moves > 0; --moves) {
        disposeRetiredReader();
        // The graph goes on; the log and the reports show the start of the next song.
        std::printf("PLAY\n");
        {
            std::lock_guard lock(PlayTimerUpdateMutex);
            PlayTimerUpdateDictionary = QVariantMap();
        }
        QVariantMap report;
        report.insert(MusicPlayTimerKey, qint64(mEndFrameCount.load(std::memory_order_relaxed)));
        report.insert(MusciPlayfinishKey, 1);
        report.insert(MusicPlayMovedOnKey, 1);
        NotificationCenter::defaultCenter().postNotification(MusicPlayTimerNotification, this, report);
    }
    for (int stops = mErrorStopsPending.exchange(0, std::memory_order_acquire); stops > 0; --stops)
        std::printf("STOP\nStopAuGraph~~~~\n");
    for (int failures = mReadFailuresPending.exchange(0, std::memory_order_relaxed); failures > 0; --failures) {
        // The song cannot be decoded further: the player says so and moves on.
        QVariantMap report;
        report.insert(MusicPlayTimerKey, qint64(currentFrame()));
        report.insert(MusicPlayReadFailedKey, 1);
        NotificationCenter::defaultCenter().postNotification(MusicPlayTimerNotification, this, report);
    }
    for (int ends = mEndsPending.exchange(0, std::memory_order_acquire); ends > 0; --ends) {
        std::printf("STOP\nStopAuGraph~~~~\n");
        QVariantMap report;
        report.insert(MusicPlayTimerKey, qint64(mEndFrameCount.load(std::memory_order_relaxed)));
        report.insert(MusciPlayfinishKey, 1);
        NotificationCenter::defaultCenter().postNotification(MusicPlayTimerNotification, this, report);
    }
}
