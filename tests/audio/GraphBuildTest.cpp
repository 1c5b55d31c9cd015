#include "AudioTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class GraphBuild : public ::testing::Test {
protected:
    void SetUp() override { AudioOutputForceNull(true); }
};

const CAComponentDescription kOutput(kAudioUnitType_Output, kAudioUnitSubType_RemoteIO, kAudioUnitManufacturer_System);
const CAComponentDescription kMixer(kAudioUnitType_Mixer, kAudioUnitSubType_AU3DMixerEmbedded,
                                    kAudioUnitManufacturer_System);

} // namespace

TEST_F(GraphBuild, EngineSequenceSucceedsAndShowsTheGraph)
{
    TestSource source;
    TestGraph g;
    ASSERT_EQ(g.build(&source), noErr);
    EXPECT_FALSE(g.running());

    AudioComponentDescription described{};
    AudioUnit unit = nullptr;
    ASSERT_EQ(AUGraphNodeInfo(g.graph, g.mixerNode, &described, &unit), noErr);
    EXPECT_EQ(unit, g.mixer);
    EXPECT_EQ(described.componentSubType, FourCC("3dem"));

    CAStreamBasicDescription format;
    UInt32 size = sizeof format;
    ASSERT_EQ(AudioUnitGetProperty(g.mixer, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format, &size),
              noErr);
    EXPECT_EQ(format.mFormatFlags, 3116u);

    testing::internal::CaptureStdout();
    CAShow(g.graph);
    std::string shown = testing::internal::GetCapturedStdout();
    for (const char* line : {"'auou' 'rioc' 'appl'", "'aumx' '3dem' 'appl'", "node 2 output 0 -> node 1 input 0",
                             "initialised"})
        EXPECT_NE(shown.find(line), std::string::npos) << line << " missing from:\n" << shown;
}

TEST_F(GraphBuild, GraphCallsRefuseInvalidUses)
{
    AUGraph graph = nullptr;
    ASSERT_EQ(NewAUGraph(&graph), noErr);
    AUNode output = 0, mixer = 0, extra = 0;
    CAComponentDescription unknown(FourCC("aufx"), FourCC("dely"), kAudioUnitManufacturer_System);
    EXPECT_EQ(AUGraphAddNode(graph, &unknown, &extra), kAUGraphErr_InvalidAudioUnit);
    ASSERT_EQ(AUGraphAddNode(graph, &kOutput, &output), noErr);
    EXPECT_EQ(AUGraphAddNode(graph, &kOutput, &extra), kAUGraphErr_OutputNodeErr);
    ASSERT_EQ(AUGraphAddNode(graph, &kMixer, &mixer), noErr);

    EXPECT_EQ(AUGraphConnectNodeInput(graph, mixer, 0, 77, 0), kAUGraphErr_NodeNotFound);
    EXPECT_EQ(AUGraphConnectNodeInput(graph, output, 0, mixer, 0), kAUGraphErr_InvalidConnection);
    AudioUnit unit = nullptr;
    EXPECT_EQ(AUGraphNodeInfo(graph, 77, nullptr, &unit), kAUGraphErr_NodeNotFound);
    EXPECT_EQ(AUGraphNodeInfo(graph, mixer, nullptr, &unit), kAUGraphErr_CannotDoInCurrentContext);
    EXPECT_EQ(AUGraphInitialize(graph), kAUGraphErr_CannotDoInCurrentContext); // not open
    ASSERT_EQ(AUGraphOpen(graph), noErr);
    EXPECT_EQ(AUGraphInitialize(graph), kAudioUnitErr_NoConnection);
    EXPECT_EQ(AUGraphStart(graph), kAudioUnitErr_Uninitialized);
    EXPECT_EQ(AUGraphAddNode(graph, &kMixer, &extra), kAUGraphErr_CannotDoInCurrentContext);
    AURenderCallbackStruct callback{&TestSource::Render, nullptr};
    EXPECT_EQ(AUGraphSetNodeInputCallback(graph, output, 0, &callback), kAUGraphErr_InvalidConnection);
    EXPECT_EQ(AUGraphSetNodeInputCallback(graph, mixer, 1, &callback), kAudioUnitErr_InvalidElement);

    Boolean running = true;
    EXPECT_EQ(AUGraphStop(graph), noErr); // not running: nothing to do
    EXPECT_EQ(AUGraphIsRunning(graph, &running), noErr);
    EXPECT_FALSE(running);
    EXPECT_EQ(DisposeAUGraph(graph), noErr);
}
