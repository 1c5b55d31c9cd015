#include "platform/session/SinkRoute.h"

std::string RouteNameForSink(const SinkDescription& sink)
{
    if (sink.bus == "bluetooth")
        return "HeadphoneBT";
    // The active port says what is plugged in right now; the form factor describes the
    // device as a whole and decides only where the port does not.
    switch (sink.activePort) {
    case SinkPortKind::Headphones:
    case SinkPortKind::Headset:
        return "Headphone";
    case SinkPortKind::LineOut:
        return "LineOut";
    case SinkPortKind::Speaker:
        return "Speaker";
    case SinkPortKind::Unknown:
    case SinkPortKind::Other:
        break;
    }
    if (sink.formFactor == "headphone" || sink.formFactor == "headset")
        return "Headphone";
    if (sink.formFactor == "hifi")
        return "LineOut";
    return "Speaker";
}
