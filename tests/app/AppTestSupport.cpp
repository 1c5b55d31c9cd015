#include "AppTestSupport.h"
#include "../ClientProcess.h"
#include "../PrivateHome.h"

#include "app/DemoLibrary.h"
#include "app/TavoroApplication.h"
#include "platform/media/MPMediaLibrary.h"
#include "platform/media/MPMediaQuery.h"
#include "platform/session/AudioSession.h"
#include "player/MusicListEntry.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QWidget>

namespace {
QTemporaryDir* g_root = nullptr;
}

QString generatedLibraryDirectory()
{
    return g_root->filePath("music");
}

const QList<MPMediaItem>& generatedSongs()
{
    static const QList<MPMediaItem> songs = [] {
        DemoLibraryOptions options;
        options.songs = 6;
        options.seconds = 2.0;
        QString error;
        const QStringList files = generateDemoLibrary(generatedLibraryDirectory(), options, &error);
        if (files.isEmpty())
            qFatal("test library: %s", qPrintable(error));
        auto library = std::make_shared<MPMediaLibrary>(generatedLibraryDirectory(), QString());
        MPMediaLibrary::setDefaultMediaLibrary(library);
        library->scan();
        QList<MPMediaItem> items = library->allItems();
        if (items.size() != options.songs)
            qFatal("test library: %lld songs found of %d", qlonglong(items.size()), options.songs);
        std::sort(items.begin(), items.end(),
                  [](const MPMediaItem& a, const MPMediaItem& b) { return a.assetURL().path() < b.assetURL().path(); });
        return items;
    }();
    return songs;
}

QProcessEnvironment programEnvironment(const QString& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home + "/data");
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_RUNTIME_DIR", home + "/runtime");
    env.insert("XDG_MUSIC_DIR", generatedLibraryDirectory());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home + "/runtime/no-bus");
    QDir().mkpath(home + "/runtime");
    QFile::setPermissions(home + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return env;
}

QByteArray storeAnswer(const QString& store, const QString& query)
{
    return runClient("sqlite3", {store, query}).out.trimmed().toUtf8();
}

QByteArray savedSettingRows(const QString& home)
{
    return storeAnswer(home + "/data/Tavoro/DTMusicModel.sqlite", "SELECT COUNT(*) FROM Setting;");
}

bool callPlayer(const QProcessEnvironment& environment, const QStringList& methodAndArguments)
{
    return runClient("gdbus", QStringList{"call", "--session", "--dest", "org.mpris.MediaPlayer2.tavoro", "--object-path",
                                          "/org/mpris/MediaPlayer2", "--method"} + methodAndArguments,
                     environment, 10).exitCode == 0;
}

LaunchedApp::LaunchedApp(bool launch, AudioCaptureOutput::Pacing pacing)
{
    AudioSessionResetForTesting();
    generatedSongs();
    capture = std::make_shared<AudioCaptureOutput>(pacing, 1024, 44100);
    AudioOutputSetCapture(capture);
    delegate = std::make_unique<TavoroAppDelegate>();
    installAudioSessionSetUp(*delegate);
    delegate->loadMainInterface();
    lifecycle = std::make_unique<ApplicationLifecycle>(delegate.get(), delegate->window());
    if (launch) {
        delegate->applicationDidFinishLaunching();
        delegate->applicationDidBecomeActive();
    }
}

LaunchedApp::~LaunchedApp()
{
    delegate.reset();
    AudioOutputSetCapture(nullptr);
}

void LaunchedApp::chooseSong(int index)
{
    MusicList list;
    for (const MPMediaItem& song : generatedSongs())
        list.append(MusicListEntry(song));
    player().setItemsArray(list);
    player().chooseSongAtListIndex(index);
}

int main(int argc, char** argv)
{
    QTemporaryDir root;
    g_root = &root;
    usePrivateHome(root.path());
    qputenv("XDG_MUSIC_DIR", root.filePath("music").toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    configureTavoroApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
