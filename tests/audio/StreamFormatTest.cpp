#include "engine/CAStreamBasicDescription.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Layout {
    UInt32 flags, bytesPerPacket, bytesPerFrame, bits;
};

Layout LayoutOf(const CAStreamBasicDescription& d)
{
    return {d.mFormatFlags, d.mBytesPerPacket, d.mBytesPerFrame, d.mBitsPerChannel};
}

bool operator==(const Layout& a, const Layout& b)
{
    return a.flags == b.flags && a.bytesPerPacket == b.bytesPerPacket && a.bytesPerFrame == b.bytesPerFrame
        && a.bits == b.bits;
}

} // namespace

TEST(StreamFormat, CanonicalLayoutsForEachChannelCountAndInterleaving)
{
    struct Case {
        bool fixedPoint;
        UInt32 channels;
        bool interleaved;
        Layout expected;
    } cases[] = {
        {false, 2, true, {12, 4, 4, 16}},   {false, 1, true, {12, 2, 2, 16}},  {false, 2, false, {44, 2, 2, 16}},
        {true, 2, false, {3116, 4, 4, 32}}, {true, 2, true, {3084, 8, 8, 32}}, {true, 1, true, {3084, 4, 4, 32}},
    };
    static_assert(sizeof(CAStreamBasicDescription) == sizeof(AudioStreamBasicDescription));
    for (const Case& c : cases) {
        CAStreamBasicDescription d;
        d.mSampleRate = 22050.0;
        d.mReserved = 0;
        if (c.fixedPoint)
            d.SetAUCanonical(c.channels, c.interleaved);
        else
            d.SetCanonical(c.channels, c.interleaved);
        SCOPED_TRACE(d.AsString());
        EXPECT_TRUE(LayoutOf(d) == c.expected);
        EXPECT_EQ(d.mFormatID, kAudioFormatLinearPCM);
        EXPECT_EQ(d.mChannelsPerFrame, c.channels);
        EXPECT_EQ(d.mFramesPerPacket, 1u);
        EXPECT_EQ(d.mSampleRate, 22050.0); // left for the caller to set
    }
}

TEST(StreamFormat, TextOfTheEngineFormats)
{
    CAStreamBasicDescription client;
    client.SetCanonical(2, true);
    client.mSampleRate = 44100.0;
    EXPECT_EQ(client.AsString(), " 2 ch,  44100 Hz, 'lpcm' (0x0000000C) 16-bit little-endian signed integer");

    CAStreamBasicDescription output;
    output.SetAUCanonical(2, false);
    output.mSampleRate = 44100.0;
    EXPECT_EQ(output.AsString(),
              " 2 ch,  44100 Hz, 'lpcm' (0x00000C2C) 8.24-bit little-endian signed integer, deinterleaved");
}

TEST(StreamFormat, TextOfOtherFormats)
{
    CAStreamBasicDescription aac(48000.0, kAudioFormatMPEG4AAC, 0, 1024, 0, 2, 0, 0);
    EXPECT_EQ(aac.AsString(), " 2 ch,  48000 Hz, 'aac ' (0x00000000) 0 bits/channel, 0 bytes/packet, "
                              "1024 frames/packet, 0 bytes/frame");

    CAStreamBasicDescription padded(96000.0, kAudioFormatLinearPCM, 8, 1, 8, 2, 24,
                                    kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsAlignedHigh
                                        | kAudioFormatFlagIsBigEndian);
    EXPECT_EQ(padded.AsString(), " 2 ch,  96000 Hz, 'lpcm' (0x00000016) 24-bit big-endian signed integer, "
                                 "unpacked in 4 bytes high-aligned");

    CAStreamBasicDescription floats(44100.0, kAudioFormatLinearPCM, 4, 1, 4, 1, 32,
                                    kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked);
    EXPECT_EQ(floats.AsString(), " 1 ch,  44100 Hz, 'lpcm' (0x00000009) 32-bit little-endian float");

    CAStreamBasicDescription unnamed(8000.0, 0x00000001, 2, 1, 2, 1, 16, 0);
    EXPECT_NE(unnamed.AsString().find("0x00000001 (0x00000000)"), std::string::npos);

    // A short buffer is cut and still terminated.
    char small[12];
    aac.AsString(small, sizeof small);
    EXPECT_EQ(std::string(small), std::string(" 2 ch,  480"));
}
