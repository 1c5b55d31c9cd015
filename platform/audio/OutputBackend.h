#pragma once
// Where the output unit's sound goes: the audio server, the null output or a test's
// capture. A backend pulls blocks from the output unit on a thread of its own (or, for a
// manual capture, on the test's thread) until the unit stops.

#include <atomic>
#include <cstdint>

class OutputUnit;

class OutputBackend {
public:
    virtual ~OutputBackend() = default;
    virtual const char* name() const = 0;
    // Begins pulling unit.render(); false when this output cannot play now.
    virtual bool start(OutputUnit& unit) = 0;
    // Ends pulling; when it returns no pull is in progress and none will follow. Never called
    // from a pull. Also cleans up after a backend that wound down by itself.
    virtual void stop() = 0;
    // Holds the output where it stands: when it returns no pull is in progress and none
    // follows until resume(), and what the output has buffered and not played yet plays
    // after resume(), so nothing is lost or repeated. False when this output cannot hold
    // (it then has to be stopped). Never called from a pull.
    virtual bool pause() { return false; }
    // Goes on after pause(); false when the output can no longer play (it then has to be
    // stopped and started afresh).
    virtual bool resume() { return false; }
    // Drops what the output has buffered and not played yet; any controlling thread.
    virtual void flush() {}
    // Controlling thread: how many of the frames rendered so far (`rendered`, counted by the
    // unit) have been played, read together with what the output holds. An output that
    // holds nothing has played all of them. False when it cannot tell now.
    virtual bool playedFrames(const std::atomic<int64_t>& rendered, int64_t* played)
    {
        *played = rendered.load();
        return true;
    }
};
