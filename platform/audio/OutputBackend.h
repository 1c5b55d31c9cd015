#pragma once
// Where the output unit's sound goes: the audio server, the null output or a test's
// capture. A backend pulls blocks from the output unit on a thread of its own (or, for a
// manual capture, on the test's thread) until the unit stops.

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
};
