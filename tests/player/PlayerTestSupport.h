#pragma once
// What the player tests share: an engine that records the calls it gets, generated songs,
// and a controller started as the application starts it.

#include "player/TavoroViewController.h"

#include <QPushButton>
#include <QStringList>

#include <atomic>
#include <ostream>
#include <functional>
#include <mutex>

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

// Records every call as text ("setModeChange(0,1)"); transport and file state are plain
// values the test sets.
class RecordingEngine final : public PlayerEngine {
public:
    QStringList calls() const;
    void clearCalls();
    // The calls whose text starts with `prefix`.
    QStringList callsStartingWith(const QString& prefix) const;

    std::atomic<bool> playing{false};
    std::atomic<bool> loadState{true};
    std::atomic<bool> loadSucceeds{true};
    std::atomic<int64_t> frames{10584000};

    void startAUGraph(int docking) override { record(QString("startAUGraph(%1)").arg(docking)); playing = true; }
    void stopAUGraph() override { record("stopAUGraph"); playing = false; }
    bool isPlaying() const override { return playing; }
    bool InputStremFormatChange(int ch) override { record(QString("InputStremFormatChange(%1)").arg(ch)); return true; }
    void setOutputVolume(float gain) override { record(QString("setOutputVolume(%1)").arg(gain)); }
    void setInputVolume(int bus, float v) override { record(QString("setInputVolume(%1,%2)").arg(bus).arg(v)); }
    void setModeChange(int mode, int on) override { record(QString("setModeChange(%1,%2)").arg(mode).arg(on)); }
    void setSpeedPitch(int s, int v) override { record(QString("setSpeedPitch(%1,%2)").arg(s).arg(v)); }
    void setEQMode(int p) override { record(QString("setEQMode(%1)").arg(p)); }
    void setUserEQBand(int b, int v) override { record(QString("setUserEQBand(%1,%2)").arg(b).arg(v)); }
    void set3DStereoValue(int w, int v) override { record(QString("set3DStereoValue(%1,%2)").arg(w).arg(v)); }
    void setStageMode(int p) override { record(QString("setStageMode(%1)").arg(p)); }
    void QBSInit() override { record("QBSInit"); }
    bool loadFiles(const QUrl& url) override;
    void CloseFile() override { record("CloseFile"); }
    int64_t frameCount() const override { return frames; }
    void FileSeek(int64_t frame) override { record(QString("FileSeek(%1)").arg(frame)); }
    void LockSeekChange(bool locked) override { record(QString("LockSeekChange(%1)").arg(locked)); }
    void setFileLoadStartFlag() override { record("setFileLoadStartFlag"); loadState = false; }
    bool mfileLoadStateFlag() const override { return loadState; }

private:
    void record(const QString& call);
    mutable std::mutex mMutex;
    QStringList mCalls;
};

// A song of `seconds` generated with ffmpeg (`codec` and `extension` as ffmpeg takes
// them, e.g. "aac" / "m4a"); empty codec writes a file that is not audio at all.
MPMediaItem makeSong(const QString& title, const QString& codec, const QString& extension,
                     double seconds = 0.5, int channels = 2);
// Songs that refer to no file: enough for queue rules that never import.
MPMediaItem fakeSong(const QString& title, double duration = 60.0);
MusicList listOf(const QList<MPMediaItem>& songs);

// A controller on a recording engine, started as at launch, over the store in the test's
// data directory.
struct PlayerHarness {
    PlayerHarness();
    ~PlayerHarness();
    RecordingEngine* engine = nullptr;
    std::shared_ptr<DTMusicModelController> library;
    std::unique_ptr<TavoroViewController> player;
};

// Runs the event loop until `done` holds or `seconds` pass; answers `done()`.
bool waitFor(const std::function<bool()>& done, double seconds = 10.0);
// The image name a button shows.
QString imageOf(const QObject* widget);
