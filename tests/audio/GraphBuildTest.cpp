#include "AudioTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class GraphBuild : public ::testing::Test {
protected:
    void SetUp() override { AudioOutputForceNull(true); }
};

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
