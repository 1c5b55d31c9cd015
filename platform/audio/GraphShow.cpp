// CAShow: the graph's nodes, connections and callbacks as text on standard output.

#include "platform/audio/AUGraph.h"
#include "platform/audio/GraphModel.h"

#include <cctype>
#include <cstdio>

namespace {

void PrintCode(OSType code)
{
    char bytes[4] = {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
    bool printable = true;
    for (char c : bytes)
        printable = printable && std::isprint(static_cast<unsigned char>(c));
    if (printable)
        std::printf("'%c%c%c%c'", bytes[0], bytes[1], bytes[2], bytes[3]);
    else
        std::printf("0x%08X", static_cast<unsigned>(code));
}

void PrintFormat(const AudioStreamBasicDescription& f)
{
    UInt32 fraction = (f.mFormatFlags & kLinearPCMFormatFlagsSampleFractionMask) >> kLinearPCMFormatFlagsSampleFractionShift;
    std::printf("[%u ch, %.0f Hz, ", static_cast<unsigned>(f.mChannelsPerFrame), f.mSampleRate);
    if (fraction)
        std::printf("%u.%u-bit", static_cast<unsigned>(f.mBitsPerChannel - fraction), static_cast<unsigned>(fraction));
    else
        std::printf("%u-bit", static_cast<unsigned>(f.mBitsPerChannel));
    std::printf("%s]", (f.mFormatFlags & kAudioFormatFlagIsNonInterleaved) ? " non-interleaved" : " interleaved");
}

} // namespace

void CAShow(void* object)
{
    auto* graph = static_cast<OpaqueAUGraph*>(object);
    if (graph == nullptr) {
        std::printf("CAShow: no graph\n");
        std::fflush(stdout);
        return;
    }
    OutputUnit* output = graph->outputUnit();
    bool running = output && output->isRunning();
    std::printf("Audio graph %p: %s, %s, %s\n", object, graph->open ? "open" : "not open",
                graph->initialized ? "initialised" : "not initialised", running ? "running" : "stopped");
    std::printf("  Nodes:\n");
    for (const auto& node : graph->nodes) {
        std::printf("    node %d: ", static_cast<int>(node->id));
        PrintCode(node->description.componentType);
        std::printf(" ");
        PrintCode(node->description.componentSubType);
        std::printf(" ");
        PrintCode(node->description.componentManufacturer);
        std::printf(" %s", node->kind == NodeKind::Mixer ? "3D mixer" : "output unit");
        if (node->unit)
            std::printf(", unit %p", static_cast<void*>(node->unit.get()));
        std::printf("\n");
    }
    std::printf("  Connections:\n");
    for (const GraphConnection& c : graph->connections) {
        std::printf("    node %d output %u -> node %d input %u", static_cast<int>(c.sourceNode),
                    static_cast<unsigned>(c.sourceOutput), static_cast<int>(c.destNode),
                    static_cast<unsigned>(c.destInput));
        if (GraphNode* source = graph->find(c.sourceNode); source && source->mixer()) {
            std::printf(" ");
            PrintFormat(source->mixer()->outputFormat());
        }
        std::printf("\n");
    }
    std::printf("  Input callbacks:\n");
    for (const auto& node : graph->nodes) {
        if (!node->hasInputCallback)
            continue;
        std::printf("    %p (context %p) -> node %d input 0", reinterpret_cast<void*>(node->inputCallback.inputProc),
                    node->inputCallback.inputProcRefCon, static_cast<int>(node->id));
        if (MixerUnit* mixer = node->mixer()) {
            std::printf(" ");
            PrintFormat(mixer->inputFormat());
        }
        std::printf("\n");
    }
    std::fflush(stdout);
}
