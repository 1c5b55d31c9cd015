#include "app/mpris/MprisService.h"

#include "app/mpris/MprisAdaptors.h"
#include "app/mpris/MprisMetadata.h"

#include "library/SettingKeys.h"
#include "platform/foundation/NotificationCenter.h"
#include "player/PlaybackTimeFormat.h"
#include "player/OpenedSongs.h"
#include "player/PlayerImages.h"
#include "player/TavoroViewController.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

// The speed/pitch effect's speed is kept in tenths (5..20); "on" is 2 in the settings.
constexpr int kSpeedPitchOn = 2;
constexpr int kSlowestSpeed = 5;
constexpr int kFastestSpeed = 20;

const char* const kLoopStatuses[3] = {"None", "Playlist", "Track"};  // by repeat mode 0, 1, 2

qlonglong microsecondsOfFrames(int64_t frames)
{
    return qlonglong(frames * 1000000 / kPlayerFramesPerSecond);
}

int64_t framesOfMicroseconds(double microseconds)
{
    // Offsets far beyond any track are cut down before conversion, so nothing overflows.
    const double frames = std::clamp(microseconds, -1e15, 1e15) * double(kPlayerFramesPerSecond) / 1e6;
    return int64_t(std::llround(frames));
}

// A user's drag of `slider` to `value`, let go there: pressed, moved, released. When the
// slider already shows that value it first moves one step off it, so the move is seen.
void dragSlider(QAbstractSlider* slider, int value)
{
    slider->setSliderDown(true);
    if (slider->value() == value)
        slider->setValue(value < slider->maximum() ? value + 1 : value - 1);
    slider->setValue(value);
    slider->setSliderDown(false);
}

} // namespace

MprisService::MprisService(TavoroViewController& player, std::function<void()> raise, std::function<void()> quit,
                           QDBusConnection bus, QObject* parent)
    : QObject(parent),
      mPlayer(player),
      mRaise(std::move(raise)),
      mQuit(std::move(quit)),
      mBus(std::move(bus)),
      mCovers(std::make_unique<MprisCoverCache>())
{
    if (!mBus.isConnected()) {
        fprintf(stderr, "Desktop media controls are off: no session bus (%s)\n",
                qPrintable(mBus.lastError().message()));
        return;
    }
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    if (!mBus.registerObject(QLatin1String(kMprisObjectPath), this)) {
        fprintf(stderr, "Desktop media controls are off: %s is taken on the session bus\n", kMprisObjectPath);
        return;
    }
    // A second player on the same bus takes a name of its own, as media players do.
    mBusName = QLatin1String(kMprisBusName);
    if (!mBus.registerService(mBusName)) {
        mBusName = QStringLiteral("%1.instance%2").arg(QLatin1String(kMprisBusName)).arg(QCoreApplication::applicationPid());
        if (!mBus.registerService(mBusName)) {
            fprintf(stderr, "Desktop media controls are off: cannot take the name %s (%s)\n", qPrintable(mBusName),
                    qPrintable(mBus.lastError().message()));
            mBus.unregisterObject(QLatin1String(kMprisObjectPath));
            return;
        }
    }
    mRegistered = true;

    connect(&mPlayer, &TavoroViewController::playButtonStateChanged, this, &MprisService::scheduleChangeReport);
    connect(&mPlayer, &TavoroViewController::songChanged, this, &MprisService::onSongChanged);
    connect(&mPlayer, &TavoroViewController::playControlChanged, this, &MprisService::scheduleChangeReport);
    connect(&mPlayer, &TavoroViewController::settingValueChanged, this, [this](const QString& key) {
        if (key == SpeedPitchOnOffKey || key == SpeedPitchSpeedKey)
            scheduleChangeReport();
    });
    connect(&mPlayer, &TavoroViewController::positionJumped, this,
            [this](qint64 frames) { emit seeked(microsecondsOfFrames(frames)); });
    mVolumeSlider = mPlayer.volumeView ? mPlayer.volumeView->findChild<QAbstractSlider*>() : nullptr;
    if (mVolumeSlider) {
        connect(mVolumeSlider, &QAbstractSlider::valueChanged, this, &MprisService::scheduleChangeReport);
        connect(mVolumeSlider, &QAbstractSlider::rangeChanged, this, &MprisService::scheduleChangeReport);
    }
    // The system volume control moves its slider quietly when the audio server's volume
    // changes elsewhere, and announces that change with a signal of its own.
    for (QObject* control : mPlayer.volumeView ? mPlayer.volumeView->findChildren<QObject*>() : QList<QObject*>()) {
        if (control->metaObject()->indexOfSignal("systemVolumeChanged(int)") >= 0)
            connect(control, SIGNAL(systemVolumeChanged(int)), this, SLOT(scheduleChangeReport()));
    }

    mSongId = mPlayer.currentSong().isNull() ? 0 : mPlayer.currentSong().persistentID();
    mReported = playerProperties();
}

MprisService::~MprisService()
{
    if (mRegistered) {
        mBus.unregisterService(mBusName);
        mBus.unregisterObject(QLatin1String(kMprisObjectPath));
    }
}

// ---- Change reports --------------------------------------------------------------------

void MprisService::scheduleChangeReport()
{
    if (mReportPending || !mRegistered)
        return;
    mReportPending = true;
    QTimer::singleShot(0, this, &MprisService::reportChanges);
}

void MprisService::onSongChanged()
{
    const MPMediaItem& song = mPlayer.currentSong();
    const quint64 id = song.isNull() ? 0 : song.persistentID();
    // The same song loaded again (repeat one, or a queue of one) starts over under the
    // same track id: clients learn of the jump back only through Seeked.
    if (id != 0 && id == mSongId)
        mSongRestarted = true;
    mSongId = id;
    scheduleChangeReport();
}

void MprisService::reportChanges()
{
    mReportPending = false;
    const QVariantMap current = playerProperties();
    QVariantMap changed;
    for (auto it = current.cbegin(); it != current.cend(); ++it) {
        if (mReported.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    mReported = current;
    if (!changed.isEmpty()) {
        QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(kMprisObjectPath),
                                                         QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("PropertiesChanged"));
        signal << kPlayerInterface << changed << QStringList();
        mBus.send(signal);
    }
    if (mSongRestarted) {
        mSongRestarted = false;
        emit seeked(0);
    }
}

// The player interface's properties that may change (Position changes all the time and is
// never announced; the constant ones are left out).
QVariantMap MprisService::playerProperties()
{
    return {
        {QStringLiteral("PlaybackStatus"), playbackStatus()},
        {QStringLiteral("LoopStatus"), loopStatus()},
        {QStringLiteral("Shuffle"), shuffle()},
        {QStringLiteral("Metadata"), metadata()},
        {QStringLiteral("Volume"), volume()},
        {QStringLiteral("Rate"), rate()},
        {QStringLiteral("CanGoNext"), canGoNext()},
        {QStringLiteral("CanGoPrevious"), canGoPrevious()},
        {QStringLiteral("CanPlay"), canPlay()},
        {QStringLiteral("CanPause"), canPause()},
        {QStringLiteral("CanSeek"), canSeek()},
    };
}

// ---- org.mpris.MediaPlayer2 --------------------------------------------------------------

void MprisService::Raise()
{
    if (mRaise)
        mRaise();
}

void MprisService::Quit()
{
    // The caller gets its answer first; the quit may then take this service down.
    if (mQuit)
        QTimer::singleShot(0, QCoreApplication::instance(), mQuit);
}

QString MprisService::desktopEntry() const
{
    QString name = QGuiApplication::desktopFileName();
    if (name.endsWith(QLatin1String(".desktop")))
        name.chop(8);
    return name.isEmpty() ? QStringLiteral("tavoro") : name;
}

QStringList MprisService::supportedUriSchemes()
{
    return {QStringLiteral("file")};
}

QStringList MprisService::supportedMimeTypes()
{
    // The formats the track reader decodes, as the desktop entry lists them.
    return QStringLiteral(TAVORO_MIME_TYPES).split(QLatin1Char(','));
}

// ---- org.mpris.MediaPlayer2.Player: methods ------------------------------------------

void MprisService::PlayPause()
{
    mPlayer.buttonPressedAction(1);
}

void MprisService::Play()
{
    if (!mPlayer.graphController().isPlaying())
        mPlayer.buttonPressedAction(1);
}

void MprisService::Pause()
{
    if (mPlayer.graphController().isPlaying())
        mPlayer.buttonPressedAction(1);
}

void MprisService::Stop()
{
    // The player has no stop of its own beyond the pause that a lost headphone causes.
    mPlayer.PlayStop();
}

void MprisService::Next()
{
    mPlayer.buttonPressedAction(3);
}

void MprisService::Previous()
{
    mPlayer.buttonPressedAction(2);
}

void MprisService::Seek(qlonglong offsetMicroseconds)
{
    if (!canSeek())
        return;
    const int64_t target = std::max<int64_t>(0, mPlayer.playbackSlider->value() + framesOfMicroseconds(double(offsetMicroseconds)));
    if (target >= mPlayer.playbackSlider->maximum()) {
        Next();
        return;
    }
    dragPositionSlider(target);
}

void MprisService::SetPosition(const QDBusObjectPath& trackId, qlonglong positionMicroseconds)
{
    if (!canSeek() || trackId != mprisTrackId(mPlayer.currentSong()) || positionMicroseconds < 0)
        return;
    const int64_t target = framesOfMicroseconds(double(positionMicroseconds));
    if (target > mPlayer.playbackSlider->maximum())
        return;
    dragPositionSlider(target);
}

void MprisService::dragPositionSlider(int64_t frames)
{
    dragSlider(mPlayer.playbackSlider, int(frames));
}

QDBusError MprisService::OpenUri(const QString& uri)
{
    const QUrl url(uri);
    if (!url.isLocalFile())
        return QDBusError(QDBusError::NotSupported, QStringLiteral("Only local files can be opened: %1").arg(uri));
    const QString path = QDir::cleanPath(url.toLocalFile());
    if (!QFileInfo(path).isFile())
        return QDBusError(QDBusError::InvalidArgs, QStringLiteral("No such file: %1").arg(path));
    const MPMediaItem song = songOfFile(QFile::encodeName(path));
    if (song.isNull())
        return QDBusError(QDBusError::InvalidArgs, QStringLiteral("Not an audio file the player can read: %1").arg(path));
    // Chosen as a list of its own, as if tapped in a list.
    playSongsAsChosenList(mPlayer, {song});
    return {};
}

// ---- org.mpris.MediaPlayer2.Player: properties ----------------------------------------

QString MprisService::playbackStatus() const
{
    if (mPlayer.currentSong().isNull())
        return QStringLiteral("Stopped");
    // As the play button shows it: "stop.png" while playing or loading.
    return imageNameOf(mPlayer.playOrPauseToggleButton) == QLatin1String("stop.png") ? QStringLiteral("Playing")
                                                                                     : QStringLiteral("Paused");
}

QString MprisService::loopStatus() const
{
    const int mode = mPlayer.playModeFlag();
    return QLatin1String(kLoopStatuses[mode >= 0 && mode <= 2 ? mode : 0]);
}

void MprisService::setLoopStatus(const QString& status)
{
    int target = -1;
    for (int mode = 0; mode < 3; ++mode) {
        if (status == QLatin1String(kLoopStatuses[mode]))
            target = mode;
    }
    if (target < 0)
        return;
    // The repeat button cycles 0, 1, 2, 0: at most two presses reach any mode.
    for (int press = 0; press < 2 && mPlayer.playModeFlag() != target; ++press)
        mPlayer.PlayModeButtonchange(0);
}

bool MprisService::shuffle() const
{
    return mPlayer.shuffleEnabled();
}

void MprisService::setShuffle(bool on)
{
    if (on != mPlayer.shuffleEnabled())
        mPlayer.PlayModeButtonchange(3);
}

QVariantMap MprisService::metadata()
{
    const MPMediaItem& song = mPlayer.currentSong();
    return mprisMetadata(song, mCovers->artUrlFor(song));
}

qlonglong MprisService::position() const
{
    if (mPlayer.currentSong().isNull())
        return 0;
    return microsecondsOfFrames(mPlayer.playbackSlider->value());
}

double MprisService::volume() const
{
    if (!mVolumeSlider || mVolumeSlider->maximum() == mVolumeSlider->minimum())
        return 1.0;
    return double(mVolumeSlider->value() - mVolumeSlider->minimum())
        / double(mVolumeSlider->maximum() - mVolumeSlider->minimum());
}

void MprisService::setVolume(double volume)
{
    // While a dock's line output plays the volume control is hidden, and without an audio
    // server it is disabled: the user cannot move it then, and neither can the bus.
    if (!mVolumeSlider || mPlayer.volumeView->isHidden() || !mVolumeSlider->isEnabled() || std::isnan(volume))
        return;
    const double share = std::clamp(volume, 0.0, 1.0);
    const int span = mVolumeSlider->maximum() - mVolumeSlider->minimum();
    dragSlider(mVolumeSlider, mVolumeSlider->minimum() + int(std::lround(share * span)));
}

double MprisService::rate() const
{
    const LiveTable& settings = *mPlayer.settingValueArray();
    if (settings.integerValue(SpeedPitchOnOffKey) != kSpeedPitchOn)
        return 1.0;
    return std::clamp(settings.integerValue(SpeedPitchSpeedKey), kSlowestSpeed, kFastestSpeed) / 10.0;
}

void MprisService::setRate(double rate)
{
    // A rate of 0 is a pause, as media controls send it.
    if (rate == 0.0) {
        Pause();
        return;
    }
    // Only the speed/pitch effect changes the speed, and only while it is on.
    if (!(rate >= kSlowestSpeed / 10.0 && rate <= kFastestSpeed / 10.0))
        return;
    const LiveTable& settings = *mPlayer.settingValueArray();
    if (settings.integerValue(SpeedPitchOnOffKey) != kSpeedPitchOn)
        return;
    const int speed = int(std::lround(rate * 10.0));
    if (speed == settings.integerValue(SpeedPitchSpeedKey))
        return;
    // What the speed/pitch screen's buttons post.
    NotificationCenter::defaultCenter().postNotification(SpeedPitchSettingNotification, this,
                                                         {{SpeedPitchSpeedKey, speed}, {SpeedPitchSPKey, speed * 10}});
}

bool MprisService::canGoNext() const
{
    if (mPlayer.currentSong().isNull())
        return false;
    return !(mPlayer.shuffleEnabled() ? mPlayer.currentShufflePlayList() : mPlayer.currentPlayList()).isEmpty();
}

bool MprisService::canGoPrevious() const
{
    return canGoNext();
}

bool MprisService::canPlay() const
{
    return !mPlayer.currentSong().isNull();
}

bool MprisService::canPause() const
{
    return canPlay();
}

bool MprisService::canSeek() const
{
    return mPlayer.playbackSlider->maximum() != 0;
}
