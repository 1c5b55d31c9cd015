#pragma once
// Plays through a playback stream of the audio server: 44100 Hz 16-bit stereo, about 100 ms
// buffered in the server, filled from its write requests in pieces of about 20 ms on the
// connection's thread. The control calls (start, stop, pause, resume, flush) come from a
// controlling thread and take the connection's lock, under which every write request runs. If the server goes away while playing, the null output takes over so
// that playback (and the position) keeps moving.

#include "platform/audio/NullOutput.h"
#include "platform/audio/OutputBackend.h"

#include <pulse/pulseaudio.h>

#include <memory>

class OutputUnit;

class PulseOutput final : public OutputBackend {
public:
    // What the server keeps buffered ahead of the sink (the stream's target length). The
    // render callback may be held up this long, less one request, before the sink runs dry;
    // it is also about how late an effect or speed change is heard.
    static constexpr unsigned kBufferMs = 100;
    // The size of the server's write requests (the stream's minimum request): the render
    // callback is called for about this much at a time, the session's preferred I/O
    // buffer duration.
    static constexpr unsigned kRequestMs = 20;
    // The largest piece rendered at once while serving one request.
    static constexpr unsigned kChunkFrames = 1024;

    ~PulseOutput() override;
    const char* name() const override { return "pulse"; }
    bool start(OutputUnit& unit) override;
    void stop() override;
    // Pausing corks the stream: the server keeps what it holds and asks for nothing until
    // it is uncorked, so the song goes on at the first frame not heard yet.
    bool pause() override;
    bool resume() override;
    // Has the server drop what it holds for the stream (pa_stream_flush).
    void flush() override;
    // Asks the server for the stream's timing (one round trip, waited for on the calling
    // thread) and counts off what the stream and the sink hold, not heard yet.
    bool playedFrames(const std::atomic<int64_t>& rendered, int64_t* played) override;

private:
    static void WriteRequested(pa_stream* stream, size_t bytes, void* self);
    static void StateChanged(pa_stream* stream, void* self);
    static void Underflowed(pa_stream* stream, void* self);
    static void TimingUpdated(pa_stream* stream, int success, void* self);
    static void EventReceived(pa_stream* stream, const char* name, pa_proplist* properties, void* self);
    void write(size_t bytes);
    void release();

    OutputUnit* mUnit = nullptr;
    pa_stream* mStream = nullptr;
    bool mWoundDown = false;
    bool mPlaying = false; // start() succeeded
    bool mCorked = false;  // paused: write requests are left unanswered until resume()
    std::unique_ptr<NullOutput> mFallback;
};
