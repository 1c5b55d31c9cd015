#pragma once
// Plays into a test's AudioCaptureOutput.

#include "platform/audio/AudioCapture.h"
#include "platform/audio/OutputBackend.h"

#include <memory>

class CaptureBackend final : public OutputBackend {
public:
    explicit CaptureBackend(std::shared_ptr<AudioCaptureOutput> capture);
    ~CaptureBackend() override;
    const char* name() const override { return "capture"; }
    bool start(OutputUnit& unit) override;
    void stop() override;

private:
    std::shared_ptr<AudioCaptureOutput> mCapture;
    bool mStarted = false;
};
