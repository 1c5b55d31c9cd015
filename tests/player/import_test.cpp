// Choosing a song exports its file to "music" plus the extension of its format in the data
// directory and opens it in the engine; damaged and unplayable songs end in the notice.

#include "PlayerTestSupport.h"

#include "../HostileFiles.h"

#include "platform/session/AudioSession.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSlider>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>

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
    // Only AAC that is not stereo switches the engine to one channel; the next song of
    // any other kind switches it back before its file opens.
    const struct {
        const char* codec;
        int channels;
        const char* extension;
        const char* exported;
        const char* channelSwitch;
    } cases[] = {
        {"aac", 1, "m4a", "music.m4a", "InputStremFormatChange(1)"},
        {"aac", 2, "m4a", "music.m4a", "InputStremFormatChange(2)"},
        {"alac", 2, "m4a", "music.m4a", nullptr},
        {"libmp3lame", 2, "mp3", "music.mp3", nullptr},
        {"pcm_s16be", 2, "aiff", "music.aif", nullptr},
        {"pcm_s16le", 2, "wav", "music.wav", nullptr},
        {"flac", 2, "flac", "music.flac", nullptr},
        {"libvorbis", 2, "ogg", "music.ogg", nullptr},
        {"libopus", 2, "opus", "music.opus", nullptr},
        {"wavpack", 2, "wv", "music.wv", nullptr},  // any other decodable format keeps its container
    };
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.codec << " " << c.channels);
        const MPMediaItem s = makeSong(QString("import-%1-%2").arg(c.codec).arg(c.channels), c.codec, c.extension,
                                       0.5, c.channels);
        choose(s);
        ASSERT_TRUE(started());
        const QString exported = dataDir + "/" + c.exported;
        EXPECT_EQ(h.player->exportFilePath(), exported);
        EXPECT_EQ(contents(exported), contents(s.assetURL().toLocalFile()));
        QStringList expected = {"setFileLoadStartFlag", "CloseFile", QString("loadFiles(%1)").arg(c.exported),
                                "startAUGraph(1)"};
        if (c.channelSwitch)
            expected.insert(2, c.channelSwitch);
        EXPECT_EQ(h.engine->calls().filter(
                      QRegularExpression("^(setFileLoadStart|CloseFile|InputStremFormatChange|loadFiles|startAUGraph)")),
                  expected);
        ASSERT_TRUE(waitFor([&] { return h.player->playbackSlider->maximum() == 10584000; }));
        EXPECT_EQ(imageNameOf(h.player->playOrPauseToggleButton), "stop.png");
        EXPECT_FALSE(h.player->infoButtonItem->isHidden());
    }
}

TEST_F(Import, UnplayableSourcesEndInTheNotice)
{
    // A file with no audio and audio in a codec nothing decodes have no export type; a
    // file the engine refuses fails to open.
    const MPMediaItem undecodable = makeSong("undecodable", "", "wav");
    {
        // A WAVE file whose format tag (0x1234) names no known codec.
        QByteArray wave("RIFF\x2c\x10\0\0WAVEfmt \x10\0\0\0\x34\x12\x02\0\x44\xac\0\0\x10\xb1\x02\0"
                        "\x04\0\x10\0data\0\x10\0\0", 44);
        wave.append(QByteArray(4096, '\x11'));
        QFile file(QString::fromUtf8(undecodable.properties().filePath));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(wave);
    }
    const MPMediaItem sources[] = {makeSong("not-audio", "", "m4a"), undecodable, makeSong("refused", "aac", "m4a")};
    for (const MPMediaItem& source : sources) {
        SCOPED_TRACE(source.title().toStdString());
        const bool refusedByEngine = source.title() == "refused";
        h.engine->loadSucceeds = !refusedByEngine;
        choose(source);
        ASSERT_TRUE(waitFor([&] { return h.player->fileErrorAlert() && h.player->fileErrorAlert()->isVisible(); }));
        QMessageBox* alert = h.player->fileErrorAlert();
        EXPECT_EQ(alert->windowTitle(), "NOTICE!");
        EXPECT_EQ(alert->text(), "We can't play this music file because we found that there is some error in this file.");
        EXPECT_EQ(imageNameOf(h.player->playOrPauseToggleButton), "play.png");
        EXPECT_EQ(h.player->playbackSlider->maximum(), 0);
        EXPECT_FALSE(h.engine->mfileLoadStateFlag());
        EXPECT_TRUE(h.engine->callsStartingWith("startAUGraph").isEmpty());
        EXPECT_EQ(h.engine->callsStartingWith("loadFiles").isEmpty(), !refusedByEngine);
        // Play and pause stay ignored until another song is chosen.
        h.engine->clearCalls();
        h.player->playOrPauseToggleButton->click();
        EXPECT_TRUE(h.engine->calls().isEmpty());

        // With one song queued, OK goes back to the list with nothing loaded.
        alert->buttons().first()->click();
        EXPECT_TRUE(h.player->currentSong().isNull());
        EXPECT_FALSE(h.player->isPlayerViewOnScreen());
        EXPECT_TRUE(h.player->infoButtonItem->isHidden());
    }
}

TEST_F(Import, ASongSwappedForAFifoAfterTheScanEndsInTheNoticeWithoutBlocking)
{
    // Choosing it shows its cover (read on the main thread) and exports its file.
    MediaItemProperties scanned = makeSong("swapped", "aac", "m4a").properties();
    scanned.hasArtwork = true;
    ASSERT_EQ(::unlink(scanned.filePath.constData()), 0);
    ASSERT_EQ(::mkfifo(scanned.filePath.constData(), 0600), 0);
    EXPECT_TRUE(hostile::returnsWithoutBlocking(scanned.filePath.toStdString(), [&] {
        choose(MPMediaItem(scanned));
        EXPECT_TRUE(waitFor([&] { return h.player->fileErrorAlert() && h.player->fileErrorAlert()->isVisible(); }));
    }));
    EXPECT_TRUE(h.engine->callsStartingWith("loadFiles").isEmpty());
}

TEST_F(Import, OnlyTheNewestImportOpensItsFile)
{
    // Both songs are made first: on a busy machine making one takes longer than the delay.
    const MPMediaItem first = makeSong("first-choice", "libmp3lame", "mp3");
    const MPMediaItem second = makeSong("second-choice", "pcm_s16le", "wav");
    AVAssetExportSession::setStartDelayForTesting(300);
    choose(first);
    const auto firstSession = h.player->currentExportSession();
    AVAssetExportSession::setStartDelayForTesting(0);
    choose(second);
    ASSERT_TRUE(started());
    QTest::qWait(400);
    EXPECT_EQ(firstSession->status(), AVAssetExportSessionStatusCancelled);
    EXPECT_EQ(h.engine->callsStartingWith("loadFiles"), QStringList({"loadFiles(music.wav)"}));
    EXPECT_EQ(h.player->currentTitle->text(), "second-choice");
}
