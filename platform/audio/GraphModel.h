#pragma once
// The graph object behind an AUGraph handle: its nodes, their units and the connection.

#include "platform/audio/AUGraph.h"
#include "platform/audio/MixerUnit.h"
#include "platform/audio/OutputUnit.h"

#include <memory>
#include <vector>

enum class NodeKind { Output, Mixer };

struct GraphNode {
    AUNode id = 0;
    AudioComponentDescription description{};
    NodeKind kind = NodeKind::Output;
    std::unique_ptr<OpaqueAudioUnit> unit; // made by AUGraphOpen
    AURenderCallbackStruct inputCallback{};  // kept until the unit exists
    bool hasInputCallback = false;

    MixerUnit* mixer() const { return kind == NodeKind::Mixer ? static_cast<MixerUnit*>(unit.get()) : nullptr; }
    OutputUnit* output() const { return kind == NodeKind::Output ? static_cast<OutputUnit*>(unit.get()) : nullptr; }
};

struct GraphConnection {
    AUNode sourceNode;
    UInt32 sourceOutput;
    AUNode destNode;
    UInt32 destInput;
};

struct OpaqueAUGraph {
    std::vector<std::unique_ptr<GraphNode>> nodes;
    std::vector<GraphConnection> connections;
    AUNode nextNodeId = 1;
    bool open = false;
    bool initialized = false;

    GraphNode* find(AUNode id) const
    {
        for (const auto& node : nodes)
            if (node->id == id)
                return node.get();
        return nullptr;
    }
    GraphNode* outputNode() const
    {
        for (const auto& node : nodes)
            if (node->kind == NodeKind::Output)
                return node.get();
        return nullptr;
    }
    OutputUnit* outputUnit() const
    {
        GraphNode* node = outputNode();
        return node ? node->output() : nullptr;
    }
};
