#include "AudioTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class MixerRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        capture = std::make_shared<AudioCaptureOutput>(AudioCaptureOutput::Pacing::Manual, 1024);
        AudioOutputSetCapture(capture);
    }
    void TearDown() override { AudioOutputSetCapture(nullptr); }

    std::shared_ptr<AudioCaptureOutput> capture;
    TestSource source;
    TestGraph g;
};

// The input the capture should hold, as stereo (mono duplicated).
std::vector<int16_t> Expected(TestSource& source, size_t frames)
{
    std::vector<int16_t> out;
    for (size_t i = 0; i < frames; ++i)
        for (int ch = 0; ch < 2; ++ch)
            out.push_back(source.signal(int64_t(i), source.channels == 1 ? 0 : ch));
    return out;
}

int16_t Sine(int64_t i, double hz, double amplitude)
{
    return int16_t(std::lrint(amplitude * std::sin(2 * M_PI * hz * double(i) / 44100.0)));
}

} // namespace

TEST_F(MixerRender, UnitGainAndRatePassSamplesThroughBitExactInEveryOutputFormat)
{
    CAStreamBasicDescription interleaved824, int16;
    interleaved824.SetAUCanonical(2, true);
    interleaved824.mSampleRate = 44100.0;
    int16 = TestGraph::ClientFormat(2);
    struct Case {
        UInt32 channels;
        CAStreamBasicDescription output;
        UInt32 block;
    } cases[] = {{2, TestGraph::MixerOutputFormat(), 1024},
                 {1, TestGraph::MixerOutputFormat(), 333},
                 {2, interleaved824, 5000}, // larger than one mixer slice
                 {2, int16, 1024}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output.AsString() + " channels " + std::to_string(c.channels));
        auto cap = std::make_shared<AudioCaptureOutput>(AudioCaptureOutput::Pacing::Manual, c.block);
        AudioOutputSetCapture(cap);
        TestSource src;
        src.channels = c.channels;
        TestGraph graph;
        ASSERT_EQ(graph.build(&src, c.output), noErr);
        ASSERT_EQ(AUGraphStart(graph.graph), noErr);
        ASSERT_EQ(cap->pull(20000), 20000u);
        EXPECT_EQ(cap->samples(), Expected(src, 20000));
        EXPECT_EQ(src.framesPulled.load(), 20000);
    }
}

TEST_F(MixerRender, GainInDecibelsScalesTheOutput)
{
    source.signal = [](int64_t i, int ch) { return Sine(i, 1000, ch ? 8000 : -4000); };
    ASSERT_EQ(g.start(&source), noErr);
    for (float db : {-6.0206f, 6.0206f, -20.0f, 12.0f}) {
        SCOPED_TRACE(db);
        ASSERT_EQ(AudioUnitSetParameter(g.mixer, k3DMixerParam_Gain, kAudioUnitScope_Output, 0, db, 0), noErr);
        capture->pull(1024); // the change glides across this block
        capture->clear();
        int64_t first = source.nextFrame;
        capture->pull(4096);
        double factor = std::pow(10.0, db / 20.0);
        std::vector<int16_t> got = capture->samples();
        for (size_t k = 0; k < got.size(); ++k) {
            double want = std::clamp(factor * source.signal(first + int64_t(k / 2), int(k % 2)), -32768.0, 32767.0);
            ASSERT_NEAR(got[k], want, 1.0) << "sample " << k;
        }
    }
}

TEST_F(MixerRender, MonoToStereoSwitchWhilePlayingTakesEffectAtTheNextBlock)
{
    ASSERT_EQ(g.start(&source), noErr);
    capture->pull(1024);
    CAStreamBasicDescription mono = TestGraph::ClientFormat(1);
    ASSERT_EQ(AudioUnitSetProperty(g.mixer, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &mono, 40),
              noErr);
    capture->clear();
    capture->pull(1024);
    std::vector<int16_t> got = capture->samples();
    for (size_t f = 0; f < 1024; ++f) {
        ASSERT_EQ(got[2 * f], got[2 * f + 1]);
        ASSERT_EQ(got[2 * f], TestSource::Pattern(1024 + int64_t(f), 0));
    }
}
