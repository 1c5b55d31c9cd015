#include "AudioTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class GraphBuild : public ::testing::Test {
protected:
    void SetUp() override { AudioTestClearFaults(); AudioOutputForceNull(true); }
    void TearDown() override { AudioTestClearFaults(); }
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

TEST_F(GraphBuild, FailedStartStopAndRunningQueryChangeNothing)
{
    TestSource source;
    TestGraph g;
    ASSERT_EQ(g.build(&source), noErr);
    auto capture = std::make_shared<AudioCaptureOutput>();
    AudioOutputSetCapture(capture);

    AudioTestFailCall(AudioCall::AUGraphStart, -1);
    EXPECT_EQ(AUGraphStart(g.graph), -1);
    EXPECT_FALSE(g.running());
    EXPECT_EQ(capture->pull(1024), 0u);

    ASSERT_EQ(AUGraphStart(g.graph), noErr);
    AudioTestFailCall(AudioCall::AUGraphStop, -2);
    EXPECT_EQ(AUGraphStop(g.graph), -2);
    EXPECT_TRUE(g.running());
    EXPECT_EQ(capture->pull(1024), 1024u);

    AudioTestFailCall(AudioCall::AUGraphIsRunning, -3);
    Boolean running = false;
    EXPECT_EQ(AUGraphIsRunning(g.graph, &running), -3);
    AudioTestFailCall(AudioCall::AudioUnitSetParameter, -4);
    EXPECT_EQ(AudioUnitSetParameter(g.mixer, k3DMixerParam_Gain, kAudioUnitScope_Output, 0, -6.0f, 0), -4);
    AudioUnitParameterValue gain = 1;
    AudioUnitGetParameter(g.mixer, k3DMixerParam_Gain, kAudioUnitScope_Output, 0, &gain);
    EXPECT_EQ(gain, 0.0f);

    EXPECT_EQ(AUGraphStop(g.graph), noErr);
    EXPECT_FALSE(g.running());
    AudioOutputSetCapture(nullptr);
}
