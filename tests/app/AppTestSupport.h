#pragma once
// What the application tests share: a generated library, a launched application on the real
// engine playing into a capturing output, and where screenshots go.

#include "../EventLoopWait.h"
#include "../Screenshots.h"
#include "app/ApplicationLifecycle.h"
#include "app/TavoroAppDelegate.h"
#include "platform/audio/AudioCapture.h"
#include "platform/media/MPMediaItem.h"

#include <QList>
#include <QProcessEnvironment>
#include <QString>

#include <functional>
#include <memory>

// The songs of the test library, made once per test run: six songs of two seconds, in the
// order FLAC, MP3, AAC, WAV, ALAC, Ogg Vorbis, and a playlist.
const QList<MPMediaItem>& generatedSongs();
QString generatedLibraryDirectory();

// The environment of a `tavoro` process a test starts: its own data, settings and runtime
// directories under `home`, the generated library as its music, offscreen, and no session
// bus (a test that wants one starts its own).
QProcessEnvironment programEnvironment(const QString& home);
// What sqlite3 prints for `query` on the store file `store`, trimmed.
QByteArray storeAnswer(const QString& store, const QString& query);
// How many settings rows such a process saved in its store, as sqlite3 prints the count.
QByteArray savedSettingRows(const QString& home);
// Calls a method of the running player's desktop media-control object with gdbus, on the
// session bus `environment` names: whether it answered without an error.
bool callPlayer(const QProcessEnvironment& environment, const QStringList& methodAndArguments);

// An application loaded and launched as the program does it, over the test's store, its
// engine playing into `capture`.
struct LaunchedApp {
    // Manual pacing keeps a started graph playing until the test pulls its samples.
    explicit LaunchedApp(bool launch = true,
                         AudioCaptureOutput::Pacing pacing = AudioCaptureOutput::Pacing::FreeRunning);
    ~LaunchedApp();
    std::shared_ptr<AudioCaptureOutput> capture;
    std::unique_ptr<TavoroAppDelegate> delegate;
    std::unique_ptr<ApplicationLifecycle> lifecycle;
    TavoroViewController& player() const { return *delegate->tavoroViewController(); }
    // Puts the generated songs on the list screen and chooses the song at `index` (1: the MP3).
    void chooseSong(int index);
};

