#pragma once
// The route name of an output device as the audio server describes it.

#include <string>

enum class SinkPortKind { Unknown, Speaker, Headphones, Headset, LineOut, Other };

struct SinkDescription {
    std::string bus;        // "device.bus": "bluetooth", "usb", "pci", ...
    std::string formFactor; // "device.form_factor": "headphone", "headset", "hifi", ...
    SinkPortKind activePort = SinkPortKind::Unknown;
};

// "HeadphoneBT" for a Bluetooth device; "Headphone" for wired headphones (a headphones or
// headset port, or that form factor); "LineOut" for a line output (a line-out port, or a
// hi-fi device: a dock or a stereo system); "Speaker" for anything else.
std::string RouteNameForSink(const SinkDescription& sink);
