#pragma once
// The audio engine as the player drives it: transport, track file, effect modes and
// parameters, gains. The player holds its engine through this interface, so that tests can
// put a recording engine in its place; AUGraphPlayerEngine forwards every call to the
// process's AUGraphController.

#include "engine/AUGraphController.h"  // EffectMode

#include <QUrl>

#include <cstdint>

class PlayerEngine {
public:
    virtual ~PlayerEngine() = default;

    // Transport.
    virtual void startAUGraph(int dockingSetting) = 0;
    virtual void stopAUGraph() = 0;
    virtual bool isPlaying() const = 0;
    virtual bool InputStremFormatChange(int channels) = 0;
    virtual void setOutputVolume(float gain) = 0;
    virtual void setInputVolume(int bus, float value) = 0;

    // Effect modes and parameters.
    virtual void setModeChange(int mode, int on) = 0;
    virtual void setSpeedPitch(int selector, int value) = 0;
    virtual void setEQMode(int preset) = 0;
    virtual void setUserEQBand(int band, int value) = 0;
    virtual void set3DStereoValue(int which, int value) = 0;
    virtual void setStageMode(int preset) = 0;
    virtual void QBSInit() = 0;

    // Track file and position.
    // `playbackGain`: the song's volume-leveling gain, 16.16 fixed point (see ExtAudioFile.h).
    virtual bool loadFiles(const QUrl& url, int32_t playbackGain) = 0;
    // Changes the leveling gain of the song playing (its open reader).
    virtual void setPlaybackGain(int32_t playbackGain) = 0;
    virtual void CloseFile() = 0;
    // The song to follow the open one without a gap (see AUGraphController).
    virtual bool prepareNextFile(const QUrl& url, int32_t playbackGain) = 0;
    virtual void discardNextFile() = 0;
    virtual int64_t frameCount() const = 0;
    // The frame the listener hears now, what the output still holds left out (asks the
    // audio server: call it when the answer is shown).
    virtual int64_t heardFrame() const = 0;
    virtual void FileSeek(int64_t frame) = 0;
    virtual void LockSeekChange(bool locked) = 0;
    virtual void setFileLoadStartFlag() = 0;
    virtual bool mfileLoadStateFlag() const = 0;
};
