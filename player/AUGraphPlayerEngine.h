#pragma once
// The player's engine backed by the process's audio engine object.

#include "engine/AUGraphController.h"
#include "player/PlayerEngine.h"

#include <memory>

class AUGraphPlayerEngine final : public PlayerEngine {
public:
    explicit AUGraphPlayerEngine(std::unique_ptr<AUGraphController> engine = std::make_unique<AUGraphController>())
        : mEngine(std::move(engine)) {}

    AUGraphController& controller() { return *mEngine; }

    void startAUGraph(int dockingSetting) override { mEngine->startAUGraph(dockingSetting); }
    void stopAUGraph() override { mEngine->stopAUGraph(); }
    bool isPlaying() const override { return mEngine->isPlaying(); }
    bool InputStremFormatChange(int channels) override { return mEngine->InputStremFormatChange(channels); }
    void setOutputVolume(float gain) override { mEngine->setOutputVolume(gain); }
    void setInputVolume(int bus, float value) override { mEngine->setInputVolume(bus, value); }

    void setModeChange(int mode, int on) override { mEngine->setModeChange(mode, int8_t(on)); }
    void setSpeedPitch(int selector, int value) override { mEngine->setSpeedPitch(selector, value); }
    void setEQMode(int preset) override { mEngine->setEQMode(preset); }
    void setUserEQBand(int band, int value) override { mEngine->setUserEQBand(band, value); }
    void set3DStereoValue(int which, int value) override { mEngine->set3DStereoValue(which, value); }
    void setStageMode(int preset) override { mEngine->setStageMode(preset); }
    void QBSInit() override { mEngine->QBSInit(); }

    bool loadFiles(const QUrl& url, int32_t playbackGain) override { return mEngine->loadFiles(url, playbackGain); }
    void setPlaybackGain(int32_t playbackGain) override { mEngine->setPlaybackGain(playbackGain); }
    void CloseFile() override { mEngine->CloseFile(); }
    bool prepareNextFile(const QUrl& url, int32_t playbackGain) override
    {
        return mEngine->prepareNextFile(url, playbackGain);
    }
    void discardNextFile() override { mEngine->discardNextFile(); }
    int64_t frameCount() const override { return mEngine->frameCount(); }
    int64_t heardFrame() const override { return mEngine->heardFrame(); }
    void FileSeek(int64_t frame) override { mEngine->FileSeek(frame); }
    void LockSeekChange(bool locked) override { mEngine->LockSeekChange(locked); }
    void setFileLoadStartFlag() override { mEngine->setFileLoadStartFlag(); }
    bool mfileLoadStateFlag() const override { return mEngine->mfileLoadStateFlag(); }

private:
    std::unique_ptr<AUGraphController> mEngine;
};
