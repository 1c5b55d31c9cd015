// Choosing a song exports its file to "music" plus the extension of its format in the data
// directory and opens it in the engine; damaged and unplayable songs end in the notice.

#include "PlayerTestSupport.h"

#include "platform/session/AudioSession.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QSlider>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Import : public ::testing::Test {
protected:
    void SetUp() override { AudioSessionResetForTesting(); }

    // Chooses the song as the only entry of the list on screen.
    void choose(const MPMediaItem& s)
    {
        h.engine->clearCalls();
        h.engine->playing = false;  // the song before was paused
        h.player->setItemsArray(listOf({s}));
        h.player->chooseSongAtListIndex(0);
    }
    bool started() { return waitFor([&] { return !h.engine->callsStartingWith("startAUGraph").isEmpty(); }, 10); }

    PlayerHarness h;
};

} // namespace

TEST_F(Import, EachFormatGoesToMusicWithItsExtensionAndPlays)
{
    const struct {
        const char* codec;
        const char* extension;
        const char* exported;
    } cases[] = {
        {"aac", "m4a", "music.m4a"},
        {"alac", "m4a", "music.m4a"},
        {"libmp3lame", "mp3", "music.mp3"},
        {"pcm_s16be", "aiff", "music.aif"},
        {"pcm_s16le", "wav", "music.wav"},
    };
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codec);
        const MPMediaItem s = makeSong(QString("import-%1").arg(c.codec), c.codec, c.extension);
        choose(s);
        ASSERT_TRUE(started());
        const QString exported = dataDir + "/" + c.exported;
        EXPECT_EQ(h.player->exportFilePath(), exported);
        EXPECT_EQ(contents(exported), contents(s.assetURL().toLocalFile()));
        EXPECT_EQ(h.engine->calls().filter(QRegularExpression("^(setFileLoadStart|CloseFile|loadFiles|startAUGraph)")),
                  QStringList({"setFileLoadStartFlag", "CloseFile", QString("loadFiles(%1)").arg(c.exported),
                               "startAUGraph(1)"}));
        ASSERT_TRUE(waitFor([&] { return h.player->playbackSlider->maximum() == 10584000; }));
        EXPECT_EQ(imageOf(h.player->playOrPauseToggleButton), "stop.png");
        EXPECT_FALSE(h.player->infoButtonItem->isHidden());
        EXPECT_EQ(h.player->currentTitle->text(), s.title());
    }
    h.player->grab().save("player-screen.png");  // for review
}

TEST_F(Import, MonoAacSwitchesTheEngineToOneChannelUntilTheNextOtherSource)
{
    choose(makeSong("mono-aac", "aac", "m4a", 0.5, 1));
    ASSERT_TRUE(started());
    EXPECT_EQ(h.engine->callsStartingWith("InputStremFormatChange"), QStringList({"InputStremFormatChange(1)"}));

    choose(makeSong("stereo-aac", "aac", "m4a"));
    ASSERT_TRUE(started());
    // Stereo AAC plays in stereo: the engine goes back to two channels before opening it.
    const QStringList calls = h.engine->calls();
    ASSERT_TRUE(calls.contains("InputStremFormatChange(2)"));
    EXPECT_LT(calls.indexOf("InputStremFormatChange(2)"), calls.indexOf("loadFiles(music.m4a)"));

    choose(makeSong("after-stereo", "libmp3lame", "mp3"));
    ASSERT_TRUE(started());
    EXPECT_TRUE(h.engine->callsStartingWith("InputStremFormatChange").isEmpty());
}

TEST_F(Import, UnplayableSourcesEndInTheNotice)
{
    // An Ogg Vorbis song has no export type; a file the engine refuses fails to open.
    for (bool refusedByEngine : {false, true}) {
        SCOPED_TRACE(refusedByEngine);
        h.engine->loadSucceeds = !refusedByEngine;
        choose(refusedByEngine ? makeSong("refused", "aac", "m4a") : makeSong("vorbis", "libvorbis", "ogg"));
        ASSERT_TRUE(waitFor([&] { return h.player->fileErrorAlert() && h.player->fileErrorAlert()->isVisible(); }));
        QMessageBox* alert = h.player->fileErrorAlert();
        EXPECT_EQ(alert->windowTitle(), "NOTICE!");
        EXPECT_EQ(alert->text(), "We can't play this music file because we found that there is some error in this file.");
        EXPECT_EQ(imageOf(h.player->playOrPauseToggleButton), "play.png");
        EXPECT_FALSE(h.engine->mfileLoadStateFlag());
        EXPECT_TRUE(h.engine->callsStartingWith("startAUGraph").isEmpty());

        // With one song queued, OK goes back to the list with nothing loaded.
        alert->buttons().first()->click();
        EXPECT_TRUE(h.player->currentSong().isNull());
        EXPECT_FALSE(h.player->isPlayerViewOnScreen());
        EXPECT_TRUE(h.player->infoButtonItem->isHidden());
    }
}

TEST_F(Import, SongWithoutAudioChangesNothingVisible)
{
    choose(makeSong("not-audio", "", "m4a"));
    QTest::qWait(200);
    EXPECT_EQ(h.player->fileErrorAlert(), nullptr);
    EXPECT_TRUE(h.engine->callsStartingWith("loadFiles").isEmpty());
    // Play and pause stay ignored until another song is chosen.
    h.engine->clearCalls();
    h.player->playOrPauseToggleButton->click();
    EXPECT_TRUE(h.engine->calls().isEmpty());
}

TEST_F(Import, OnlyTheNewestImportOpensItsFile)
{
    AVAssetExportSession::setStartDelayForTesting(300);
    choose(makeSong("first-choice", "libmp3lame", "mp3"));
    const auto firstSession = h.player->currentExportSession();
    AVAssetExportSession::setStartDelayForTesting(0);
    choose(makeSong("second-choice", "pcm_s16le", "wav"));
    ASSERT_TRUE(started());
    QTest::qWait(400);
    EXPECT_EQ(firstSession->status(), AVAssetExportSessionStatusCancelled);
    EXPECT_EQ(h.engine->callsStartingWith("loadFiles"), QStringList({"loadFiles(music.wav)"}));
    EXPECT_EQ(h.player->currentTitle->text(), "second-choice");
}
