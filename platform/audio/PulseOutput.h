#pragma once
// Plays through a playback stream of the audio server: 44100 Hz 16-bit stereo, about 20 ms
// of buffering, filled from the server's write requests on the connection's thread. If the
// server goes away while playing, the null output takes over so that playback (and the
// position) keeps moving.

#include "platform/audio/NullOutput.h"
#include "platform/audio/OutputBackend.h"

#include <pulse/pulseaudio.h>

#include <memory>

class OutputUnit;

class PulseOutput final : public OutputBackend {
public:
    static constexpr unsigned kBufferMs = 20;
    static constexpr unsigned kChunkFrames = 1024;

    ~PulseOutput() override;
    const char* name() const override { return "pulse"; }
    bool start(OutputUnit& unit) override;
    void stop() override;

private:
    static void WriteRequested(pa_stream* stream, size_t bytes, void* self);
    static void StateChanged(pa_stream* stream, void* self);
    static void EventReceived(pa_stream* stream, const char* name, pa_proplist* properties, void* self);
    void write(size_t bytes);
    void release();

    OutputUnit* mUnit = nullptr;
    pa_stream* mStream = nullptr;
    bool mWoundDown = false;
    bool mPlaying = false; // start() succeeded
    std::unique_ptr<NullOutput> mFallback;
};
