#include "PlayerTestSupport.h"
#include "../PrivateHome.h"

#include "../SoundFiles.h"
#include "engine/MusicPlayTimerNotification.h"
#include "library/DTMusicModelController.h"
#include "platform/session/AudioSession.h"
#include "player/AUGraphPlayerEngine.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

namespace {
QTemporaryDir* g_songs = nullptr;
}

bool RecordingEngine::loadFiles(const QUrl& url, int32_t playbackGain)
{
    lastPlaybackGain = playbackGain;
    if (onLoad)
        onLoad(url);
    rec("loadFiles", {url.fileName()});
    if (loadSucceeds)
        loadState = true;
    return loadSucceeds;
}

void RecordingEngine::rec(const QString& name, const QVariantList& args)
{
    QStringList texts;
    for (const QVariant& a : args)
        texts.append(a.toString());
    std::lock_guard lock(mMutex);
    mCalls.append(args.isEmpty() ? name : name + "(" + texts.join(",") + ")");
}

QStringList RecordingEngine::calls() const
{
    // A copy of its own, not one sharing the list that the import thread appends to.
    std::lock_guard lock(mMutex);
    return QStringList(mCalls.cbegin(), mCalls.cend());
}

void RecordingEngine::clearCalls()
{
    std::lock_guard lock(mMutex);
    mCalls.clear();
}

QStringList RecordingEngine::callsStartingWith(const QString& prefix) const
{
    QStringList out = calls();
    out.removeIf([&](const QString& c) { return !c.startsWith(prefix); });
    return out;
}

static MPMediaItem songAt(const QString& title, const QString& path, double duration)
{
    MediaItemProperties p;
    p.persistentID = 1 + qHash(title);
    p.filePath = QFile::encodeName(path);
    p.title = title;
    p.artist = "Artist of " + title;
    p.albumTitle = "Album of " + title;
    p.playbackDuration = duration;
    return MPMediaItem(p);
}

MPMediaItem makeSong(const QString& title, const QString& codec, const QString& extension, double seconds,
                     int channels)
{
    const QString path = g_songs->filePath(title + "." + extension);
    QFile file(path);
    if (codec.isEmpty() && file.open(QIODevice::WriteOnly)) {
        file.write(QByteArray(4096, 'x'));
    } else if (!file.exists()) {
        const QString options = QString("-ac %1 -c:a %2").arg(channels).arg(codec);
        EXPECT_TRUE(test_files::makeTone(path.toStdString(), seconds, options.toStdString())) << path.toStdString();
    }
    return songAt(title, path, seconds);
}

MPMediaItem fakeSong(const QString& title, double duration) { return songAt(title, QString(), duration); }

MusicList listOf(const QList<MPMediaItem>& songs)
{
    MusicList list;
    for (const MPMediaItem& s : songs)
        list.append(MusicListEntry(MPMediaItemCollection({s})));
    return list;
}

PlayerHarness::PlayerHarness()
{
    auto recording = std::make_unique<RecordingEngine>();
    engine = recording.get();
    library = std::make_shared<DTMusicModelController>();
    player = std::make_unique<TavoroViewController>(std::move(recording), library);
    player->viewDidLoad();
}

void reportPosition(int64_t frames, bool finished)
{
    QVariantMap info{{MusicPlayTimerKey, qint64(frames)}};
    if (finished)
        info.insert(MusciPlayfinishKey, 1);
    NotificationCenter::defaultCenter().postNotification(MusicPlayTimerNotification, nullptr, info);
}

void QueueTest::SetUp()
{
    AudioSessionResetForTesting();
    h = std::make_unique<PlayerHarness>();
    for (int i = 0; i < 3; ++i)
        songs.append(fakeSong(QString("Song %1").arg(i)));
}

void QueueTest::choose(int index, qsizetype count)
{
    h->player->setItemsArray(listOf(songs.mid(0, count)));
    h->player->chooseSongAtListIndex(index);
    h->engine->loadState = true;
    h->engine->playing = true;
    h->engine->clearCalls();
}

QString QueueTest::title() const
{
    return h->player->currentSong().isNull() ? QString() : h->player->currentSong().title();
}

RealEnginePlayer::RealEnginePlayer(AudioCaptureOutput::Pacing pacing)
{
    AudioSessionResetForTesting();
    capture = std::make_shared<AudioCaptureOutput>(pacing, 1024, 44100);
    AudioOutputSetCapture(capture);
    auto made = std::make_unique<AUGraphPlayerEngine>();
    engine = &made->controller();
    player = std::make_unique<TavoroViewController>(std::move(made), std::make_shared<DTMusicModelController>());
    player->viewDidLoad();
    engine->initializeAUGraph(2);
    player->setUIDefaults();
}

RealEnginePlayer::~RealEnginePlayer()
{
    player.reset();
    AudioOutputSetCapture(nullptr);
}

int main(int argc, char** argv)
{
    QTemporaryDir home;
    usePrivateHome(home.path());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("Tavoro");
    AudioOutputForceNull(true);
    QTemporaryDir songs;
    g_songs = &songs;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
