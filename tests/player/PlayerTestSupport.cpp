#include "PlayerTestSupport.h"

#include "library/DTMusicModelController.h"
#include "platform/audio/AudioCapture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace {
QTemporaryDir* g_songs = nullptr;
}

bool RecordingEngine::loadFiles(const QUrl& url)
{
    record(QString("loadFiles(%1)").arg(url.fileName()));
    if (loadSucceeds)
        loadState = true;
    return loadSucceeds;
}

void RecordingEngine::record(const QString& call)
{
    std::lock_guard lock(mMutex);
    mCalls.append(call);
}

QStringList RecordingEngine::calls() const
{
    std::lock_guard lock(mMutex);
    return mCalls;
}

void RecordingEngine::clearCalls()
{
    std::lock_guard lock(mMutex);
    mCalls.clear();
}

QStringList RecordingEngine::callsStartingWith(const QString& prefix) const
{
    QStringList out;
    for (const QString& c : calls())
        if (c.startsWith(prefix))
            out.append(c);
    return out;
}

static MPMediaItem songAt(const QString& title, const QString& path, double duration)
{
    MediaItemProperties p;
    const QByteArray h = QCryptographicHash::hash(title.toUtf8(), QCryptographicHash::Sha1);
    p.persistentID = 1 + (quint64(quint8(h[0])) << 8 | quint8(h[1])) + (quint64(quint8(h[2])) << 16);
    p.filePath = path;
    p.title = title;
    p.artist = QStringLiteral("Artist of ") + title;
    p.albumTitle = QStringLiteral("Album of ") + title;
    p.playbackDuration = duration;
    return MPMediaItem(p);
}

MPMediaItem makeSong(const QString& title, const QString& codec, const QString& extension, double seconds,
                     int channels)
{
    const QString path = g_songs->filePath(title + "." + extension);
    if (!QFile::exists(path)) {
        if (codec.isEmpty()) {
            QFile f(path);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        } else {
            const QString cmd = QString("ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=frequency=440:duration=%1 "
                                        "-ac %2 -c:a %3 '%4'")
                                    .arg(seconds).arg(channels).arg(codec, path);
            EXPECT_EQ(std::system(cmd.toUtf8().constData()), 0) << cmd.toStdString();
        }
    }
    return songAt(title, path, seconds);
}

MPMediaItem fakeSong(const QString& title, double duration)
{
    return songAt(title, QString(), duration);
}

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

PlayerHarness::~PlayerHarness()
{
    player.reset();
}

bool waitFor(const std::function<bool()>& done, double seconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

QString imageOf(const QObject* widget)
{
    return widget->property("imageName").toString();
}

int main(int argc, char** argv)
{
    // Everything the player writes goes below one temporary home.
    QTemporaryDir home;
    const QByteArray root = home.path().toUtf8();
    qputenv("HOME", root);
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    qputenv("XDG_MUSIC_DIR", root + "/Music");
    qputenv("XDG_RUNTIME_DIR", root + "/runtime");
    QFile::setPermissions(QString::fromUtf8(root), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QDir().mkpath(QString::fromUtf8(root + "/runtime"));
    QFile::setPermissions(QString::fromUtf8(root + "/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("Tavoro");
    AudioOutputForceNull(true);
    QTemporaryDir songs;
    g_songs = &songs;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
