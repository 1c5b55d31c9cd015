#include "platform/audio/AUGraph.h"

#include "platform/audio/AudioCapture.h"
#include "platform/audio/AudioFaultPoint.h"
#include "platform/audio/GraphModel.h"

#include <algorithm>

namespace {

#define AUDIO_FAULT_POINT(call)                                                                                        \
    do {                                                                                                               \
        OSStatus injected = noErr;                                                                                     \
        if (AudioFaultHit(AudioCall::call, &injected))                                                                 \
            return injected;                                                                                           \
    } while (0)

bool Matches(OSType wanted, OSType given)
{
    return given == wanted;
}

// Which unit a description names; false for anything this graph cannot make.
bool KindOf(const AudioComponentDescription& d, NodeKind* kind)
{
    if (d.componentManufacturer != 0 && d.componentManufacturer != kAudioUnitManufacturer_System)
        return false;
    if (Matches(kAudioUnitType_Output, d.componentType) && Matches(kAudioUnitSubType_RemoteIO, d.componentSubType)) {
        *kind = NodeKind::Output;
        return true;
    }
    if (Matches(kAudioUnitType_Mixer, d.componentType)
        && Matches(kAudioUnitSubType_AU3DMixerEmbedded, d.componentSubType)) {
        *kind = NodeKind::Mixer;
        return true;
    }
    return false;
}

// Stops the graph's output from a thread other than its render thread.
void StopOutput(OpaqueAUGraph* graph)
{
    if (OutputUnit* output = graph->outputUnit())
        output->stop();
}

} // namespace

OSStatus NewAUGraph(AUGraph* outGraph)
{
    AUDIO_FAULT_POINT(NewAUGraph);
    if (outGraph == nullptr)
        return kAudio_ParamError;
    *outGraph = new OpaqueAUGraph;
    return noErr;
}

OSStatus DisposeAUGraph(AUGraph graph)
{
    AUDIO_FAULT_POINT(DisposeAUGraph);
    if (graph == nullptr)
        return kAudio_ParamError;
    if (OutputUnit::OnRenderThread())
        return kAudioUnitErr_CannotDoInCurrentContext;
    StopOutput(graph);
    // The output goes first: it pulls from the mixer.
    for (auto& node : graph->nodes)
        if (node->kind == NodeKind::Output)
            node->unit.reset();
    delete graph;
    return noErr;
}

OSStatus AUGraphAddNode(AUGraph graph, const AudioComponentDescription* description, AUNode* outNode)
{
    AUDIO_FAULT_POINT(AUGraphAddNode);
    if (graph == nullptr || description == nullptr || outNode == nullptr)
        return kAudio_ParamError;
    NodeKind kind;
    if (!KindOf(*description, &kind))
        return kAUGraphErr_InvalidAudioUnit;
    if (graph->open)
        return kAUGraphErr_CannotDoInCurrentContext;
    if (kind == NodeKind::Output && graph->outputNode())
        return kAUGraphErr_OutputNodeErr; // one output per graph
    auto node = std::make_unique<GraphNode>();
    node->id = graph->nextNodeId++;
    node->description = *description;
    node->kind = kind;
    *outNode = node->id;
    graph->nodes.push_back(std::move(node));
    return noErr;
}

OSStatus AUGraphConnectNodeInput(AUGraph graph, AUNode sourceNode, UInt32 sourceOutputNumber, AUNode destNode,
                                 UInt32 destInputNumber)
{
    AUDIO_FAULT_POINT(AUGraphConnectNodeInput);
    if (graph == nullptr)
        return kAudio_ParamError;
    GraphNode* source = graph->find(sourceNode);
    GraphNode* dest = graph->find(destNode);
    if (!source || !dest)
        return kAUGraphErr_NodeNotFound;
    if (source->kind != NodeKind::Mixer || dest->kind != NodeKind::Output || sourceOutputNumber != 0
        || destInputNumber != 0)
        return kAUGraphErr_InvalidConnection;
    if (graph->initialized)
        return kAUGraphErr_CannotDoInCurrentContext;
    // An input takes one source: a new connection replaces the old one.
    std::erase_if(graph->connections, [&](const GraphConnection& c) {
        return c.destNode == destNode && c.destInput == destInputNumber;
    });
    graph->connections.push_back({sourceNode, sourceOutputNumber, destNode, destInputNumber});
    if (graph->open)
        dest->output()->connect(source->mixer());
    return noErr;
}

OSStatus AUGraphOpen(AUGraph graph)
{
    AUDIO_FAULT_POINT(AUGraphOpen);
    if (graph == nullptr)
        return kAudio_ParamError;
    if (graph->open)
        return noErr;
    for (auto& node : graph->nodes) {
        if (node->kind == NodeKind::Mixer) {
            auto mixer = std::make_unique<MixerUnit>();
            if (node->hasInputCallback)
                mixer->setInputCallback(node->inputCallback);
            node->unit = std::move(mixer);
        } else {
            node->unit = std::make_unique<OutputUnit>();
        }
    }
    for (const GraphConnection& c : graph->connections)
        graph->find(c.destNode)->output()->connect(graph->find(c.sourceNode)->mixer());
    graph->open = true;
    return noErr;
}

OSStatus AUGraphNodeInfo(AUGraph graph, AUNode node, AudioComponentDescription* outDescription, AudioUnit* outUnit)
{
    AUDIO_FAULT_POINT(AUGraphNodeInfo);
    if (graph == nullptr)
        return kAudio_ParamError;
    GraphNode* found = graph->find(node);
    if (!found)
        return kAUGraphErr_NodeNotFound;
    if (outUnit && !graph->open)
        return kAUGraphErr_CannotDoInCurrentContext;
    if (outDescription)
        *outDescription = found->description;
    if (outUnit)
        *outUnit = found->unit.get();
    return noErr;
}

OSStatus AUGraphSetNodeInputCallback(AUGraph graph, AUNode node, UInt32 inputNumber,
                                     const AURenderCallbackStruct* callback)
{
    AUDIO_FAULT_POINT(AUGraphSetNodeInputCallback);
    if (graph == nullptr || callback == nullptr)
        return kAudio_ParamError;
    GraphNode* found = graph->find(node);
    if (!found)
        return kAUGraphErr_NodeNotFound;
    if (found->kind != NodeKind::Mixer)
        return kAUGraphErr_InvalidConnection;
    if (inputNumber >= 1)
        return kAudioUnitErr_InvalidElement;
    OutputUnit* output = graph->outputUnit();
    if (output && output->isRunning())
        return kAUGraphErr_CannotDoInCurrentContext;
    found->inputCallback = *callback;
    found->hasInputCallback = callback->inputProc != nullptr;
    if (MixerUnit* mixer = found->mixer())
        mixer->setInputCallback(*callback);
    return noErr;
}

OSStatus AUGraphInitialize(AUGraph graph)
{
    AUDIO_FAULT_POINT(AUGraphInitialize);
    if (graph == nullptr)
        return kAudio_ParamError;
    if (graph->initialized)
        return noErr;
    if (!graph->open)
        return kAUGraphErr_CannotDoInCurrentContext;
    GraphNode* outputNode = graph->outputNode();
    if (!outputNode)
        return kAUGraphErr_OutputNodeErr;
    OutputUnit* output = outputNode->output();
    if (!output->source())
        return kAudioUnitErr_NoConnection;
    for (auto& node : graph->nodes)
        if (node->kind == NodeKind::Mixer)
            if (OSStatus status = node->unit->initialize())
                return status;
    if (OSStatus status = output->initialize())
        return status;
    graph->initialized = true;
    return noErr;
}

OSStatus AUGraphUninitialize(AUGraph graph)
{
    AUDIO_FAULT_POINT(AUGraphUninitialize);
    if (graph == nullptr)
        return kAudio_ParamError;
    if (!graph->initialized)
        return noErr;
    if (OutputUnit::OnRenderThread())
        return kAudioUnitErr_CannotDoInCurrentContext;
    StopOutput(graph);
    for (auto& node : graph->nodes)
        node->unit->uninitialize();
    graph->initialized = false;
    return noErr;
}

OSStatus AUGraphStart(AUGraph graph)
{
    AUDIO_FAULT_POINT(AUGraphStart);
    if (graph == nullptr)
        return kAudio_ParamError;
    if (!graph->initialized)
        return kAudioUnitErr_Uninitialized;
    return graph->outputUnit()->start();
}

OSStatus AUGraphStop(AUGraph graph)
{
    AUDIO_FAULT_POINT(AUGraphStop);
    if (graph == nullptr)
        return kAudio_ParamError;
    if (OutputUnit* output = graph->outputUnit())
        return output->pause();
    return noErr;
}

OSStatus AUGraphIsRunning(AUGraph graph, Boolean* outIsRunning)
{
    AUDIO_FAULT_POINT(AUGraphIsRunning);
    if (graph == nullptr || outIsRunning == nullptr)
        return kAudio_ParamError;
    OutputUnit* output = graph->outputUnit();
    *outIsRunning = output && output->isRunning();
    return noErr;
}

OSStatus AudioUnitSetProperty(AudioUnit unit, AudioUnitPropertyID property, AudioUnitScope scope,
                              AudioUnitElement element, const void* data, UInt32 dataSize)
{
    AUDIO_FAULT_POINT(AudioUnitSetProperty);
    if (unit == nullptr)
        return kAudio_ParamError;
    return unit->setProperty(property, scope, element, data, dataSize);
}

OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID property, AudioUnitScope scope,
                              AudioUnitElement element, void* outData, UInt32* ioDataSize)
{
    AUDIO_FAULT_POINT(AudioUnitGetProperty);
    if (unit == nullptr)
        return kAudio_ParamError;
    return unit->getProperty(property, scope, element, outData, ioDataSize);
}

OSStatus AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID parameter, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue value, UInt32 bufferOffsetInFrames)
{
    AUDIO_FAULT_POINT(AudioUnitSetParameter);
    if (unit == nullptr)
        return kAudio_ParamError;
    return unit->setParameterAt(parameter, scope, element, value, bufferOffsetInFrames);
}

OSStatus AudioUnitReset(AudioUnit unit, AudioUnitScope, AudioUnitElement)
{
    if (unit == nullptr)
        return kAudio_ParamError;
    return unit->reset();
}

OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID parameter, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* outValue)
{
    AUDIO_FAULT_POINT(AudioUnitGetParameter);
    if (unit == nullptr)
        return kAudio_ParamError;
    return unit->getParameter(parameter, scope, element, outValue);
}

const char* AudioOutputActiveName(AUGraph graph)
{
    if (graph == nullptr)
        return "";
    OutputUnit* output = graph->outputUnit();
    return output ? output->activeName() : "";
}

OSStatus AudioOutputHeardInputFrame(AUGraph graph, Float64* outFrame)
{
    if (graph == nullptr || outFrame == nullptr)
        return kAudio_ParamError;
    OutputUnit* output = graph->outputUnit();
    double frame = 0.0;
    if (output == nullptr || !output->heardInputFrame(&frame))
        return kAudioUnitErr_NoConnection;
    *outFrame = frame;
    return noErr;
}
