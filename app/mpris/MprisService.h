#pragma once
// The desktop's remote control of the player: an MPRIS2 service on the session bus, so
// that media keys, the desktop's sound panel, a paired phone and command-line clients see
// what plays and drive the player.
//
// Bus name "org.mpris.MediaPlayer2.tavoro" (with ".instance<pid>" appended when another
// player already holds it), object "/org/mpris/MediaPlayer2", interfaces
// "org.mpris.MediaPlayer2" and "org.mpris.MediaPlayer2.Player" (no track list).
//
// How the application creates it, once, after the launch has shown the window (the
// delegate keeps it for the life of the process; destroying it leaves the bus):
//
//     mMpris = std::make_unique<MprisService>(*tavoroViewController,
//                                             [this] { raise the window },
//                                             [this] { quit through the background save });
//
// With no session bus the constructor writes one line on standard error and the service
// stays off (isRegistered() false); the player runs as before.
//
// Every call from the bus does what the player's own controls do: the transport buttons
// (`buttonPressedAction`), the repeat and shuffle buttons (`PlayModeButtonchange`), a drag
// of the position slider (`SeekSlider` while it moves, `SeekSliderEditEnd` when let go), the
// speed buttons of the speed/pitch screen (its change notification), the system volume
// control (the first slider inside the player's `volumeView`), and the choice of a song in
// a list (the same import as a tapped song).
//
// Property changes are sent when the player reports them (its state-change signals, the
// volume slider's value), never by polling. Changes that one action makes one after the
// other (a next press shows "play.png", clears the display and shows the next song) are
// gathered and sent as one PropertiesChanged after the action, holding only what differs
// from what was sent before.
//
// Threads: main thread only. The service lives on the main thread, so Qt D-Bus delivers
// every method call and property access to it there, through the main event loop.

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>

class MprisCoverCache;
class QAbstractSlider;
class TavoroViewController;

inline constexpr char kMprisBusName[] = "org.mpris.MediaPlayer2.tavoro";
inline constexpr char kMprisObjectPath[] = "/org/mpris/MediaPlayer2";

class MprisService : public QObject {
    Q_OBJECT

public:
    // `raise` brings the window to the front; `quit` ends the application through the same
    // background save as closing the window (it runs after the bus call has been answered,
    // so it may destroy this service). An empty callback makes CanRaise or CanQuit false.
    MprisService(TavoroViewController& player, std::function<void()> raise, std::function<void()> quit,
                 QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    ~MprisService() override;

    bool isRegistered() const { return mRegistered; }
    QString busName() const { return mBusName; }
    QDBusConnection bus() const { return mBus; }

    // ---- org.mpris.MediaPlayer2 -------------------------------------------------------
    void Raise();
    void Quit();
    bool canRaise() const { return bool(mRaise); }
    bool canQuit() const { return bool(mQuit); }
    QString desktopEntry() const;
    static QStringList supportedUriSchemes();
    static QStringList supportedMimeTypes();

    // ---- org.mpris.MediaPlayer2.Player ------------------------------------------------
    void PlayPause();
    void Play();
    void Pause();
    void Stop();
    void Next();
    void Previous();
    void Seek(qlonglong offsetMicroseconds);
    void SetPosition(const QDBusObjectPath& trackId, qlonglong positionMicroseconds);
    // No error (isValid() false) when the file is on its way to play; otherwise the reason
    // it cannot be opened, for the caller's error reply.
    QDBusError OpenUri(const QString& uri);

    QString playbackStatus() const;
    QString loopStatus() const;
    void setLoopStatus(const QString& status);
    bool shuffle() const;
    void setShuffle(bool on);
    QVariantMap metadata();
    qlonglong position() const;
    double volume() const;
    void setVolume(double volume);
    double rate() const;
    void setRate(double rate);
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool canPlay() const;
    bool canPause() const;
    bool canSeek() const;

signals:
    // Relayed to the bus by the player interface's adaptor.
    void seeked(qlonglong positionMicroseconds);

private slots:
    void scheduleChangeReport();

private:
    // Moves the position slider as a drag to `frames` and lets it go.
    void dragPositionSlider(int64_t frames);
    void reportChanges();
    QVariantMap playerProperties();
    void onSongChanged();

    TavoroViewController& mPlayer;
    std::function<void()> mRaise;
    std::function<void()> mQuit;
    QDBusConnection mBus;
    QString mBusName;
    bool mRegistered = false;
    QPointer<QAbstractSlider> mVolumeSlider;
    std::unique_ptr<MprisCoverCache> mCovers;

    // What the bus was last told, and whether a report is waiting for the event loop.
    QVariantMap mReported;
    bool mReportPending = false;
    quint64 mSongId = 0;  // persistent identifier of `song` at its last change
    bool mSongRestarted = false;
};
