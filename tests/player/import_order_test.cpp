// A newer import always ends with its own song loaded; "previous" right after an automatic
// advance goes back a song.

#include "PlayerTestSupport.h"

#include "platform/session/AudioSession.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include <thread>

TEST(ImportOrder, ANewerImportEndsWithItsOwnSongLoaded)
{
    AudioSessionResetForTesting();
    PlayerHarness h;
    // The first song's open is slow: the second is chosen while it runs.
    std::atomic<bool> firstOpening{false}, release{false};
    h.engine->onLoad = [&](const QUrl& url) {
        if (url.fileName() != "music.mp3")
            return;
        firstOpening = true;
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    h.player->setItemsArray(listOf({makeSong("slow-first", "libmp3lame", "mp3")}));
    h.player->chooseSongAtListIndex(0);
    ASSERT_TRUE(waitFor([&] { return firstOpening.load(); }));

    // The slow open ends a while after the second import has begun (its first step
    // clears the engine's load flag), long enough for that import to complete if nothing
    // holds it back.
    std::thread releaser([&] {
        while (h.engine->callsStartingWith("setFileLoadStartFlag").size() < 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        release = true;
    });
    h.player->setItemsArray(listOf({makeSong("quick-second", "pcm_s16le", "wav")}));
    h.player->chooseSongAtListIndex(0);
    ASSERT_TRUE(waitFor([&] { return h.engine->callsStartingWith("loadFiles").contains("loadFiles(music.wav)"); }));
    releaser.join();
    QTest::qWait(300);  // time for a late open of the first song to land

    QStringList calls = h.engine->calls();
    // The start-up dock check (0.5 s after start) lands whenever it falls due.
    calls.removeIf([](const QString& call) { return call.startsWith("setModeChange(4,"); });
    const QStringList opens = h.engine->callsStartingWith("loadFiles");
    EXPECT_EQ(opens.last(), "loadFiles(music.wav)") << calls.join(" ").toStdString();
    EXPECT_EQ(calls.last(), "startAUGraph(1)") << calls.join(" ").toStdString();
    EXPECT_EQ(h.player->currentTitle->text(), "quick-second");
}

using ImportOrderQueue = QueueTest;

TEST_F(ImportOrderQueue, PreviousRightAfterAnAutomaticAdvanceGoesBack)
{
    choose(0);
    reportPosition(4 * 44100);
    reportPosition(10584000, true);  // the end: the next song loads at once
    ASSERT_EQ(title(), "Song 1");
    h->engine->loadState = true;  // its file opened; no position report yet
    h->engine->playing = true;
    h->engine->clearCalls();

    h->player->buttonPressedAction(2);
    EXPECT_TRUE(h->engine->callsStartingWith("FileSeek").isEmpty()) << h->engine->calls().join(" ").toStdString();
    EXPECT_EQ(title(), "Song 0");
}
