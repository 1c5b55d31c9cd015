// The program over a music folder holding files that name a local web server (streaming
// playlists and a manifest under audio names): neither the scan nor the desktop media
// controls' "open" may send it anything. And the demo library generator over links planted
// at the names it writes.

#include "AppTestSupport.h"

#include "../HostileFiles.h"
#include "../SessionBus.h"
#include "app/DemoLibrary.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

TEST(HostileMusic, TheProgramSendsNothingToAServerItsFilesName)
{
    QTemporaryDir home;
    const QString music = home.filePath("music");
    ASSERT_TRUE(QDir().mkpath(music));
    hostile::LocalListener listener;
    for (const auto& [name, bytes] : hostile::streamingFiles(listener.port()))
        writeBytes(music + "/" + QString::fromStdString(name), QByteArray::fromStdString(bytes));
    writeBytes(music + "/list.m3u8", QByteArray::fromStdString(hostile::streamingFiles(listener.port())[0].second));
    ASSERT_TRUE(QFile::copy(QString::fromLocal8Bit(generatedSongs()[1].properties().filePath), music + "/song.mp3"));

    PrivateSessionBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    QProcessEnvironment env = programEnvironment(home.path());
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address);
    env.insert("XDG_MUSIC_DIR", music);
    const auto open = [&](const QString& file) {
        return callPlayer(env, {"org.mpris.MediaPlayer2.Player.OpenUri",
                                QUrl::fromLocalFile(music + "/" + file).toString()});
    };

    QProcess app;
    app.setProcessEnvironment(env);
    app.start(TAVORO_BINARY);
    ASSERT_TRUE(app.waitForStarted());
    // The song opens once the player is on the bus and its scan has found the song.
    EXPECT_TRUE(waitFor([&] { return open("song.mp3"); }, 20))
        << "the player never opened the song from the desktop controls";
    EXPECT_FALSE(open("manifest.m4a"));
    EXPECT_FALSE(open("track.mp3"));
    EXPECT_EQ(listener.connections(), 0) << "the player connected to a server a file names";
    app.terminate();
    app.waitForFinished(10000);
}

TEST(HostileMusic, TheDemoLibraryReplacesLinksAtItsNamesAndNeverWritesThroughThem)
{
    QTemporaryDir home;
    const QString victim = home.filePath("victim");
    const QString library = home.filePath("library");
    ASSERT_TRUE(QDir().mkpath(victim) && QDir().mkpath(library));
    writeBytes(victim + "/keep.txt", "someone's file\n");
    ASSERT_TRUE(QFile::link(victim, library + "/.sources"));
    ASSERT_TRUE(QFile::link(victim + "/keep.txt", library + "/Demo Mix.m3u"));
    DemoLibraryOptions options;
    options.songs = 1;
    options.seconds = 1.0;
    QString error;
    ASSERT_EQ(generateDemoLibrary(library, options, &error).size(), 1) << error.toStdString();
    QFile kept(victim + "/keep.txt");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "someone's file\n");
    EXPECT_EQ(QDir(victim).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.txt"});
    EXPECT_FALSE(QFileInfo(library + "/Demo Mix.m3u").isSymLink());
}

} // namespace
