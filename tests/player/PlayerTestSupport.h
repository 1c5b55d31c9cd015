#pragma once
// What the player tests share: an engine that records the calls it gets, generated songs,
// and a controller started as the application starts it.

#include "../EventLoopWait.h"
#include "platform/audio/AudioCapture.h"
#include "player/PlayerImages.h"
#include "player/TavoroViewController.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

// Records every call as text ("setModeChange(0,1)"); transport and file state are plain
// values the test sets.
class RecordingEngine final : public PlayerEngine {
public:
    QStringList calls() const;
    void clearCalls();
    QStringList callsStartingWith(const QString& prefix) const;

    std::atomic<bool> playing{false}, loadState{true}, loadSucceeds{true};
    std::atomic<int64_t> frames{10584000};
    // Runs inside loadFiles() before the call is recorded (on the export's thread).
    std::function<void(const QUrl&)> onLoad;

    void startAUGraph(int docking) override { rec("startAUGraph", {docking}); playing = true; }
    void stopAUGraph() override { rec("stopAUGraph"); playing = false; }
    bool isPlaying() const override { return playing; }
    bool InputStremFormatChange(int ch) override { rec("InputStremFormatChange", {ch}); return true; }
    void setOutputVolume(float gain) override { rec("setOutputVolume", {gain}); }
    void setInputVolume(int bus, float v) override { rec("setInputVolume", {bus, v}); }
    void setModeChange(int mode, int on) override { rec("setModeChange", {mode, on}); }
    void setSpeedPitch(int s, int v) override { rec("setSpeedPitch", {s, v}); }
    void setEQMode(int p) override { rec("setEQMode", {p}); }
    void setUserEQBand(int b, int v) override { rec("setUserEQBand", {b, v}); }
    void set3DStereoValue(int w, int v) override { rec("set3DStereoValue", {w, v}); }
    void setStageMode(int p) override { rec("setStageMode", {p}); }
    void QBSInit() override { rec("QBSInit"); }
    bool loadFiles(const QUrl& url, int32_t playbackGain) override;
    void setPlaybackGain(int32_t playbackGain) override { lastPlaybackGain = playbackGain; }
    std::atomic<int32_t> lastPlaybackGain{0};
    void CloseFile() override { rec("CloseFile"); }
    bool prepareNextFile(const QUrl&, int32_t) override { return false; }
    void discardNextFile() override {}
    int64_t frameCount() const override { return frames; }
    int64_t heardFrame() const override { return heard; }
    std::atomic<int64_t> heard{0};
    void FileSeek(int64_t frame) override { rec("FileSeek", {qlonglong(frame)}); }
    void LockSeekChange(bool locked) override { rec("LockSeekChange", {int(locked)}); }
    void setFileLoadStartFlag() override { rec("setFileLoadStartFlag"); loadState = false; }
    bool mfileLoadStateFlag() const override { return loadState; }

private:
    void rec(const QString& name, const QVariantList& args = {});
    mutable std::mutex mMutex;
    QStringList mCalls;
};

// A song of `seconds` made with ffmpeg's `codec` into a file with `extension`; an empty
// codec writes a file that is not audio at all.
MPMediaItem makeSong(const QString& title, const QString& codec, const QString& extension,
                     double seconds = 0.5, int channels = 2);
// A song that refers to no file: enough for queue rules that never open one.
MPMediaItem fakeSong(const QString& title, double duration = 60.0);
MusicList listOf(const QList<MPMediaItem>& songs);

// A controller on a recording engine, started as at launch, over the store in the test's
// data directory.
struct PlayerHarness {
    PlayerHarness();
    RecordingEngine* engine = nullptr;
    std::shared_ptr<DTMusicModelController> library;
    std::unique_ptr<TavoroViewController> player;
};

// The engine's position report of `frames`, with the end of the track when `finished`.
void reportPosition(int64_t frames, bool finished = false);

// A player on a recording engine, with three songs "Song 0".."Song 2" that refer to no file.
class QueueTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Chooses entry `index` of the first `count` songs and lets it "load" and play.
    void choose(int index, qsizetype count = -1);
    // The loaded song's title; empty when none is.
    QString title() const;

    std::unique_ptr<PlayerHarness> h;
    QList<MPMediaItem> songs;
};

// A controller on the real audio engine, started as at launch, playing into a capturing
// output that pulls as fast as it can (or as the test pulls, when `pacing` is Manual); the
// capture is taken away again at the end.
class AUGraphController;
struct RealEnginePlayer {
    explicit RealEnginePlayer(AudioCaptureOutput::Pacing pacing = AudioCaptureOutput::Pacing::FreeRunning);
    ~RealEnginePlayer();
    std::shared_ptr<AudioCaptureOutput> capture;
    std::unique_ptr<TavoroViewController> player;
    AUGraphController* engine = nullptr;
};

