// The transport as a user drives it: position report and time labels, play and pause,
// seeking, the end of a track in each repeat mode, previous and next at the ends of the
// queue, quick presses, shuffle and the modes across a restart.

#include "PlayerTestSupport.h"

#include "player/ListView.h"
#include "player/PlaybackTimeFormat.h"
#include "player/ShuffleOrder.h"
#include "platform/session/AudioSession.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QRegularExpression>
#include <QSet>
#include <QApplication>
#include <QSlider>
#include <QTest>

namespace {

class Transport : public QueueTest {
protected:
    // As QueueTest::choose, in repeat `mode` (0 once, 1 all, 2 one).
    void choose(int index, int mode = 0, int count = 3)
    {
        while (h->player->playModeFlag() != mode)
            h->player->PlayModeButtonchange(0);
        QueueTest::choose(index, count);
    }
};

} // namespace

TEST(TimeFormat, ExampleValues)
{
    EXPECT_EQ(elapsedTimeText(5 * 44100 + 44099), " 0:05");
    EXPECT_EQ(elapsedTimeText(int64_t(75) * 60 * 44100), "75:00");  // minutes not wrapped
    EXPECT_EQ(songLengthText(3725.4), " 2:05");                      // hours dropped
    EXPECT_EQ(remainingTimeText(44100, 44100 + 1024), "- 0:00");
    // The frames left, truncated: not rounded, nor the difference of two truncated times.
    EXPECT_EQ(remainingTimeText(10 * 44100, 1), "- 0:09");
    EXPECT_EQ(remainingTimeText(10 * 44100, 44099), "- 0:09");
    EXPECT_EQ(remainingTimeText(int64_t(61) * 60 * 44100 + 22100, 0), "-61:00");
}

TEST(ShuffleOrder, AnyComparatorKeepsEveryEntryOnce)
{
    QList<int> entries;
    for (int i = 0; i < 200; ++i)
        entries.append(i);
    for (const ShuffleComparator& compare : std::vector<ShuffleComparator>{systemRandomComparison, [] { return 1; }}) {
        QList<int> sorted = sortWithComparator(entries, compare);
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, entries);
    }
    EXPECT_NE(sortWithComparator(entries, systemRandomComparison), entries);
    // An answer of 0 or -1 keeps a pair in its order.
    EXPECT_EQ(sortWithComparator(entries, [] { return 0; }), entries);
    EXPECT_EQ(sortWithComparator(entries, [] { return -1; }), entries);
}

TEST_F(Transport, PositionReportMovesSliderAndLabelsAndDraggingSeeks)
{
    choose(1);
    EXPECT_EQ(h->player->currentPlayCountLabel->text(), " 2 / 3");
    QSlider* slider = h->player->playbackSlider;
    slider->setSliderDown(true);  // no track ready yet: maximum 0, no seek
    slider->setSliderPosition(100);
    slider->setSliderDown(false);
    EXPECT_TRUE(h->engine->callsStartingWith("FileSeek").isEmpty());

    slider->setMaximum(10584000);
    reportPosition(2646000);
    EXPECT_EQ(h->player->currentduration->text(), " 1:00");
    EXPECT_EQ(h->player->playbackTimeLabel->text(), "- 3:00");
    EXPECT_EQ(slider->value(), 2646000);
    reportPosition(0);  // a report at 0 changes nothing on screen
    EXPECT_EQ(h->player->currentduration->text(), " 1:00");
    EXPECT_EQ(slider->value(), 2646000);

    h->engine->clearCalls();
    slider->setSliderDown(true);
    slider->setSliderPosition(5292000);
    slider->setSliderDown(false);
    EXPECT_EQ(h->engine->calls(), QStringList({"FileSeek(5292000)", "LockSeekChange(0)"}));
    EXPECT_EQ(h->player->currentduration->text(), " 2:00");
}

TEST_F(Transport, PlayPauseAndSpeedPitchReapplied)
{
    choose(0);
    h->player->setSettingValueList(SpeedPitchOnOffKey, 2);
    h->player->setSettingValueList(SpeedPitchSpeedKey, 13);
    h->player->playbackSlider->setMaximum(10584000); // the import's length
    h->engine->heard = 441000;
    QTest::mouseClick(h->player->playOrPauseToggleButton, Qt::LeftButton);
    EXPECT_EQ(h->engine->calls(), QStringList({"stopAUGraph"}));
    EXPECT_EQ(imageNameOf(h->player->playOrPauseToggleButton), "play.png");
    // Paused, the slider and the time show the frame heard, not the last report.
    EXPECT_EQ(h->player->playbackSlider->value(), 441000);
    EXPECT_EQ(h->player->currentduration->text(), " 0:10");
    QTest::mouseClick(h->player->playOrPauseToggleButton, Qt::LeftButton);
    EXPECT_EQ(h->engine->calls(), QStringList({"stopAUGraph", "setSpeedPitch(1,13)", "startAUGraph(1)"}));
    EXPECT_EQ(imageNameOf(h->player->playOrPauseToggleButton), "stop.png");

    h->engine->loadState = false;  // preparing: ignored, not queued
    h->engine->clearCalls();
    QTest::mouseClick(h->player->playOrPauseToggleButton, Qt::LeftButton);
    EXPECT_TRUE(h->engine->calls().isEmpty());

    // The route falling back to the speaker pauses only a playing, ready track.
    h->player->PlayStop();
    h->engine->loadState = true;
    h->engine->playing = true;
    h->player->PlayStop();
    EXPECT_EQ(h->engine->calls(), QStringList({"stopAUGraph"}));
    EXPECT_EQ(imageNameOf(h->player->playOrPauseToggleButton), "play.png");
    h->engine->clearCalls();

    // After an interruption only a stopped graph resumes, and only once.
    h->player->playstart();
    EXPECT_TRUE(h->engine->calls().isEmpty());
    h->player->setInterruptPlayStopFlag(true);
    h->player->playstart();
    h->player->playstart();
    EXPECT_EQ(h->engine->calls(), QStringList({"startAUGraph(1)"}));
}

TEST_F(Transport, EndNextAndPreviousFollowTheRepeatModeAtTheEndsOfTheQueue)
{
    enum Action { End, Next, Previous };
    const struct {
        int index, mode, count;
        Action action;
        const char* then;  // empty: back at the list
    } cases[] = {
        {2, 0, 3, End, ""},         // play once: the last song's end closes it
        {2, 1, 3, End, "Song 0"},   // repeat all: the first follows the last
        {1, 2, 3, End, "Song 1"},   // repeat one: the same song again
        {0, 1, 1, End, "Song 0"},   // a one-song queue in repeat all, likewise
        {2, 0, 3, Next, ""},
        {2, 1, 3, Next, "Song 0"},
        {0, 2, 1, Next, ""},        // a one-song queue in repeat one
        {0, 0, 3, Previous, ""},    // under 4 s into the first song
        {0, 1, 3, Previous, "Song 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "song " << c.index << " mode " << c.mode << " of " << c.count
                                        << " action " << int(c.action));
        h = std::make_unique<PlayerHarness>();  // a fresh start: no song loaded yet
        choose(c.index, c.mode, c.count);
        reportPosition(3 * 44100 + 100);
        if (c.action == End)
            reportPosition(10584000, true);
        else
            h->player->buttonPressedAction(c.action == Next ? 3 : 2);
        EXPECT_EQ(title(), c.then);
        if (QString(c.then).isEmpty()) {
            EXPECT_FALSE(h->player->isPlayerViewOnScreen());
            EXPECT_TRUE(h->engine->calls().contains("CloseFile"));
        } else if (c.action == End) {
            EXPECT_TRUE(h->engine->calls().contains("setFileLoadStartFlag"));  // loads at once
        } else {
            EXPECT_TRUE(h->player->choicePending());
        }
    }
}

TEST_F(Transport, PreviousAfterFourSecondsRestartsEvenWhenPaused)
{
    choose(1);
    h->engine->playing = false;
    reportPosition(4 * 44100);
    h->player->buttonPressedAction(2);
    EXPECT_EQ(h->engine->calls(), QStringList({"QBSInit", "FileSeek(0)", "startAUGraph(1)"}));
    EXPECT_EQ(title(), "Song 1");
    EXPECT_EQ(imageNameOf(h->player->playOrPauseToggleButton), "stop.png");
}

TEST_F(Transport, QuickPressesShowEachSongButLoadOnlyTheLast)
{
    choose(0, 1);
    QStringList shown;
    testing::internal::CaptureStdout();
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(h->player->nextButton, Qt::LeftButton);
        shown.append(title());
        QTest::qWait(100);
    }
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("Next button 0, 1,maxTrackCount:3\nNext button end\nChoiceMusicPlay\n"), std::string::npos) << log;
    EXPECT_EQ(shown, QStringList({"Song 1", "Song 2", "Song 0"}));
    EXPECT_TRUE(h->engine->callsStartingWith("setFileLoadStartFlag").isEmpty());
    ASSERT_TRUE(waitFor([&] { return !h->player->choicePending(); }, 3));
    EXPECT_EQ(h->engine->callsStartingWith("setFileLoadStartFlag").size(), 1);
    EXPECT_EQ(title(), "Song 0");
}

TEST_F(Transport, ChoosingTheLoadedSongOnlyFlipsToThePlayer)
{
    choose(1);
    h->player->flipInfoAction();  // back at the list
    h->player->setItemsArray(listOf({songs[1]}));  // the same song in another list
    h->player->chooseSongAtListIndex(0);
    EXPECT_TRUE(h->engine->calls().isEmpty());
    EXPECT_TRUE(h->player->isPlayerViewOnScreen());
    EXPECT_EQ(h->player->currentPlayList().size(), 3);
}

TEST_F(Transport, ShuffleStartsWithTheChosenSongAndKeepsTheIndexWhenTurnedOff)
{
    for (int i = 3; i < 12; ++i)
        songs.append(fakeSong(QString("Song %1").arg(i)));
    h->player->PlayModeButtonchange(3);
    choose(5, 0, 12);
    const MusicList& shuffled = h->player->currentShufflePlayList();
    ASSERT_EQ(shuffled.size(), 12);
    EXPECT_EQ(shuffled[0].song().title(), "Song 5");
    QSet<QString> titles;
    for (const MusicListEntry& e : shuffled)
        titles.insert(e.song().title());
    EXPECT_EQ(titles.size(), 12);
    EXPECT_EQ(h->player->selectedRow(), 0);

    h->player->buttonPressedAction(3);
    h->player->buttonPressedAction(3);
    EXPECT_EQ(title(), shuffled[2].song().title());
    h->player->PlayModeButtonchange(3);  // off: the next song is entry 3 of the plain queue
    EXPECT_EQ(h->player->currentPlayCountLabel->text(), " 3 / 12");
    h->player->buttonPressedAction(3);
    EXPECT_EQ(title(), "Song 3");
}

TEST_F(Transport, DamagedFileInRepeatOneMovesOnAndKeepsTheMode)
{
    // The engine refuses the first file; the second opens.
    songs = {makeSong("refused-song", "aac", "m4a"), makeSong("fine-1", "libmp3lame", "mp3"), fakeSong("fine-2")};
    h->engine->loadSucceeds = false;
    while (h->player->playModeFlag() != 2)
        h->player->PlayModeButtonchange(0);
    h->player->setItemsArray(listOf(songs));
    h->player->chooseSongAtListIndex(0);
    ASSERT_TRUE(waitFor([&] { return h->player->fileErrorAlert() && h->player->fileErrorAlert()->isVisible(); }));
    h->engine->loadSucceeds = true;
    h->player->fileErrorAlert()->buttons().first()->click();
    EXPECT_EQ(title(), "fine-1");
    EXPECT_EQ(h->player->playModeFlag(), 2);
    ASSERT_TRUE(waitFor([&] { return h->engine->calls().contains("loadFiles(music.mp3)"); }));
}

TEST_F(Transport, KeysFromTheWindowPlaySeekAndMoveAlongTheQueue)
{
    h->player->show();
    h->player->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(h->player.get()));
    const auto key = [&](Qt::Key k, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(QApplication::focusWidget(), k, modifiers);  // where a keyboard sends it
    };
    choose(0);
    h->player->playbackSlider->setMaximum(10584000);
    reportPosition(2646000);
    for (Qt::Key k : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Left, Qt::Key_Space, Qt::Key_Space})
        key(k);
    EXPECT_EQ(h->engine->calls().filter(QRegularExpression("^(FileSeek|st)")),
              QStringList({"FileSeek(2866500)", "FileSeek(2646000)", "FileSeek(2425500)", "stopAUGraph",
                           "startAUGraph(1)"}));
    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(title(), "Song 1");
    reportPosition(0);
    key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(title(), "Song 0");

    // A button reached with Tab takes Space; Escape goes back to the list, which takes the keys.
    h->player->allOncerepeatButton->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Space);
    QTRY_COMPARE(h->player->playModeFlag(), 1);
    key(Qt::Key_Escape);
    EXPECT_FALSE(h->player->isPlayerViewOnScreen());
    EXPECT_EQ(QApplication::focusWidget(), h->player->listTable()->tableView());
}
