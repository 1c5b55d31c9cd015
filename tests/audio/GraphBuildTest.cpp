#include "AudioTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class GraphBuild : public ::testing::Test {
protected:
    void SetUp() override
    {
        AudioTestClearFaults();
        AudioOutputForceNull(true);
    }
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
    EXPECT_NE(shown.find("'auou' 'rioc' 'appl'"), std::string::npos) << shown;
    EXPECT_NE(shown.find("'aumx' '3dem' 'appl'"), std::string::npos) << shown;
    EXPECT_NE(shown.find("node 2 output 0 -> node 1 input 0"), std::string::npos) << shown;
    EXPECT_NE(shown.find("initialised"), std::string::npos) << shown;
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

TEST_F(GraphBuild, UnitPropertiesAndParametersAnswerTheRightStatus)
{
    TestGraph g;
    ASSERT_EQ(g.build(nullptr), noErr);
    AudioUnit m = g.mixer;
    CAStreamBasicDescription client = TestGraph::ClientFormat(2);
    UInt32 two = 2, one = 1;

    EXPECT_EQ(AudioUnitSetProperty(m, 9999, kAudioUnitScope_Input, 0, &one, 4), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(AudioUnitSetProperty(m, kAudioUnitProperty_ElementCount, kAudioUnitScope_Global, 0, &one, 4),
              kAudioUnitErr_InvalidScope);
    EXPECT_EQ(AudioUnitSetProperty(m, kAudioUnitProperty_ElementCount, kAudioUnitScope_Input, 0, &two, 4),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(AudioUnitSetProperty(m, kAudioUnitProperty_ElementCount, kAudioUnitScope_Input, 0, &one, 2),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(AudioUnitSetProperty(m, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Global, 0, &client, 40),
              kAudioUnitErr_InvalidScope);
    EXPECT_EQ(AudioUnitSetProperty(m, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 1, &client, 40),
              kAudioUnitErr_InvalidElement);
    EXPECT_EQ(AudioUnitSetProperty(m, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, nullptr, 40),
              kAudio_ParamError);

    // Formats the input bus cannot take: another rate, three channels, non-interleaved, 8.24.
    CAStreamBasicDescription otherRate = client, three, planar, fixed;
    otherRate.mSampleRate = 48000.0;
    three.SetCanonical(3, true);
    three.mSampleRate = 44100.0;
    planar.SetCanonical(2, false);
    planar.mSampleRate = 44100.0;
    fixed = TestGraph::MixerOutputFormat();
    for (const CAStreamBasicDescription& bad : {otherRate, three, planar, fixed}) {
        SCOPED_TRACE(bad.AsString());
        EXPECT_EQ(AudioUnitSetProperty(m, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &bad, 40),
                  kAudioUnitErr_FormatNotSupported);
    }
    // The input format may change on an initialised graph; the output format may not.
    CAStreamBasicDescription mono = TestGraph::ClientFormat(1);
    EXPECT_EQ(AudioUnitSetProperty(m, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &mono, 40), noErr);
    CAStreamBasicDescription out16 = TestGraph::ClientFormat(2);
    EXPECT_EQ(AudioUnitSetProperty(m, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &out16, 40),
              kAudioUnitErr_Initialized);
    EXPECT_EQ(AUGraphInitialize(g.graph), noErr); // again: nothing to do

    EXPECT_EQ(AudioUnitSetParameter(m, k3DMixerParam_PlaybackRate, kAudioUnitScope_Output, 0, 1.5f, 0),
              kAudioUnitErr_InvalidScope);
    EXPECT_EQ(AudioUnitSetParameter(m, k3DMixerParam_PlaybackRate, kAudioUnitScope_Input, 0, 2.5f, 0),
              kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitSetParameter(m, k3DMixerParam_PlaybackRate, kAudioUnitScope_Input, 1, 1.5f, 0),
              kAudioUnitErr_InvalidElement);
    EXPECT_EQ(AudioUnitSetParameter(m, k3DMixerParam_Gain, kAudioUnitScope_Output, 0, 30.0f, 0),
              kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitSetParameter(m, 99, kAudioUnitScope_Input, 0, 0.0f, 0), kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitSetParameter(m, k3DMixerParam_Gain, kAudioUnitScope_Global, 0, 0.0f, 0),
              kAudioUnitErr_InvalidScope);

    ASSERT_EQ(AudioUnitSetParameter(m, k3DMixerParam_PlaybackRate, kAudioUnitScope_Input, 0, 0.5f, 0), noErr);
    ASSERT_EQ(AudioUnitSetParameter(m, k3DMixerParam_Gain, kAudioUnitScope_Output, 0, 12.0f, 0), noErr);
    AudioUnitParameterValue rate = 0, gain = 0, inputGain = -1;
    EXPECT_EQ(AudioUnitGetParameter(m, k3DMixerParam_PlaybackRate, kAudioUnitScope_Input, 0, &rate), noErr);
    EXPECT_EQ(AudioUnitGetParameter(m, k3DMixerParam_Gain, kAudioUnitScope_Output, 0, &gain), noErr);
    EXPECT_EQ(AudioUnitGetParameter(m, k3DMixerParam_Gain, kAudioUnitScope_Input, 0, &inputGain), noErr);
    EXPECT_EQ(rate, 0.5f);
    EXPECT_EQ(gain, 12.0f);
    EXPECT_EQ(inputGain, 0.0f); // output and input gains are separate
}

TEST_F(GraphBuild, InjectedFaultsHitTheChosenCallOnly)
{
    // The second node add fails, the first and third pass.
    AudioTestFailCall(AudioCall::AUGraphAddNode, -10875, 2);
    AUGraph graph = nullptr;
    ASSERT_EQ(NewAUGraph(&graph), noErr);
    AUNode a = 0, b = 0, c = 0;
    EXPECT_EQ(AUGraphAddNode(graph, &kOutput, &a), noErr);
    EXPECT_EQ(AUGraphAddNode(graph, &kMixer, &b), -10875);
    EXPECT_EQ(b, 0); // a failing call leaves its outputs alone
    EXPECT_EQ(AUGraphAddNode(graph, &kMixer, &c), noErr);
    DisposeAUGraph(graph);

    // times 0: every call fails until cleared.
    AudioTestFailCall(AudioCall::AUGraphOpen, OSStatus(FourCC("open")), 1, 0);
    TestGraph g;
    EXPECT_EQ(g.build(nullptr), OSStatus(FourCC("open")));
    EXPECT_EQ(AUGraphOpen(g.graph), OSStatus(FourCC("open")));
    AudioTestClearFaults();
    EXPECT_EQ(AUGraphOpen(g.graph), noErr);
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
