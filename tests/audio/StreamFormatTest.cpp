#include "engine/CAStreamBasicDescription.h"

#include <gtest/gtest.h>

#include <string>

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
