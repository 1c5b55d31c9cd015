// The periodic position report: armed at creation, posted on the main thread while reports
// are on, without payload before the first start, paused by a stop.

#include "EngineTestSupport.h"

#include "engine/AUGraphController.h"
#include "engine/EngineGlobals.h"
#include "platform/audio/AudioCapture.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

constexpr double kInterval = 0.05; // the report period, shortened for the test

struct Report {
    QVariantMap payload;
    bool onMainThread;
};

class EngineReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetEngineState();
        capture = std::make_shared<AudioCaptureOutput>(AudioCaptureOutput::Pacing::Manual, 1024);
        AudioOutputSetCapture(capture);
        NotificationCenter::defaultCenter().addObserver(this, MusicPlayTimerNotification, nullptr, [this](const Notification& n) {
            reports.push_back({n.userInfo, RunLoop::isMainThread()});
        });
    }
    void TearDown() override
    {
        NotificationCenter::defaultCenter().removeObserver(this);
        CaptureStdout([&] { engine.reset(); });
        ResetEngineState();
    }
    // Runs the main loop for about `periods` report periods.
    void runFor(double periods)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < qint64(periods * kInterval * 1000)) {
            QCoreApplication::processEvents();
            QThread::msleep(2);
        }
    }

    Fixtures fixtures;
    std::shared_ptr<AudioCaptureOutput> capture;
    std::unique_ptr<AUGraphController> engine;
    std::vector<Report> reports;
};

TEST_F(EngineReport, ReportsFollowTheOpenStartAndStop)
{
    fixtures.make("r.wav", 1.0, 44100, 2, "-c:a pcm_s16le");
    engine = std::make_unique<AUGraphController>(kInterval);
    CaptureStdout([&] { engine->initializeAUGraph(2); });

    // Armed at creation, but nothing is posted while reports are off.
    runFor(4);
    EXPECT_TRUE(reports.empty());

    // After an open and before the first start: reports without payload.
    bool ok = false;
    CaptureStdout([&] { ok = engine->loadFiles(QUrl(fixtures.url("r.wav"))); });
    ASSERT_TRUE(ok);
    runFor(4);
    ASSERT_GE(reports.size(), 2u);
    EXPECT_LE(reports.size(), 6u);
    for (const Report& r : reports) {
        EXPECT_TRUE(r.payload.isEmpty());
        EXPECT_TRUE(r.onMainThread);
    }

    // Playing: the position in frames.
    CaptureStdout([&] { engine->startAUGraph(2); });
    capture->pull(5 * 1024);
    reports.clear();
    runFor(3);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().payload.value(MusicPlayTimerKey).toLongLong(), 5 * 1024);
    EXPECT_FALSE(reports.back().payload.contains(MusciPlayfinishKey));

    // A seek pauses the reports until the next real read.
    engine->FileSeek(30000);
    capture->pull(1024);
    reports.clear();
    runFor(3);
    EXPECT_TRUE(reports.empty());
    engine->LockSeekChange(false);
    capture->pull(1024);
    runFor(3);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().payload.value(MusicPlayTimerKey).toLongLong(), 30000 + 1024);

    // Stopped: no more reports.
    CaptureStdout([&] { engine->stopAUGraph(); });
    reports.clear();
    runFor(3);
    EXPECT_TRUE(reports.empty());
}

TEST_F(EngineReport, ADestroyedEngineLeavesNoReportBehind)
{
    engine = std::make_unique<AUGraphController>(kInterval);
    mSeekFlag = true;
    CaptureStdout([&] { engine.reset(); });
    runFor(4);
    EXPECT_TRUE(reports.empty());
}

} // namespace
