// The client format: which ones are accepted, channel folding, other client rates, and how
// reads honour the caller's buffer.

#include "TrackCases.h"

#include <gtest/gtest.h>

using namespace audiofile_test;

namespace {

const TrackCase& stereoWav() { return kTracks[0]; }

AudioStreamBasicDescription clientFormat(Float64 rate, UInt32 channels)
{
    return {rate, kAudioFormatLinearPCM, 12, 2 * channels, 1, 2 * channels, channels, 16, 0};
}

OSStatus setClient(ExtAudioFileRef file, const AudioStreamBasicDescription& format)
{
    return ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, sizeof format, &format);
}

TEST(ClientFormat, StereoTrackFoldsToTheMeanOfItsChannels)
{
    ExtAudioFileRef file = openWithClient(stereoWav().make(), 1);
    ASSERT_NE(file, nullptr);
    const std::vector<int16_t> mono = readFrames(file, -1, 1024, 1);
    const std::vector<int16_t> source = testSignal(44100, 2, stereoWav().frames);
    ASSERT_EQ(mono.size(), source.size() / 2);
    for (size_t i = 0; i < mono.size(); ++i)
        ASSERT_NEAR(mono[i], (source[2 * i] + source[2 * i + 1]) / 2.0, 1.0) << i;
    ExtAudioFileDispose(file);
}

TEST(ClientFormat, LengthAndFramesFollowTheClientRate)
{
    // The length counts client frames, so it changes with the client rate.
    ExtAudioFileRef file = openWithClient(stereoWav().make(), 2, 48000);
    ASSERT_NE(file, nullptr);
    const SInt64 expected = (30000LL * 48000 + 22050) / 44100;
    EXPECT_EQ(lengthOf(file), expected);
    EXPECT_EQ(SInt64(readFrames(file).size() / 2), expected);
    ASSERT_EQ(setClient(file, clientFormat(22050, 2)), noErr);
    EXPECT_EQ(lengthOf(file), 15000);
    EXPECT_EQ(readFrames(file).size() / 2, 15000u);
    ExtAudioFileDispose(file);
}

TEST(ClientFormat, UntilSetReadsAre44100HzWithTheFilesChannels)
{
    ExtAudioFileRef file = nullptr;
    ASSERT_EQ(ExtAudioFileOpenURL(makeTrack("mono.wav", 44100, 1, 20000, "-c:a pcm_s16le"), &file), noErr);
    AudioStreamBasicDescription client{};
    UInt32 size = sizeof client;
    ASSERT_EQ(ExtAudioFileGetProperty(file, kExtAudioFileProperty_ClientDataFormat, &size, &client), noErr);
    EXPECT_EQ(client.mSampleRate, 44100.0);
    EXPECT_EQ(client.mChannelsPerFrame, 1u);
    EXPECT_EQ(readFrames(file, -1, 1024, 1), testSignal(44100, 1, 20000));
    ExtAudioFileDispose(file);
}

TEST(ClientFormat, RefusesFormatsReadsCannotDeliverAndKeepsThePreviousOne)
{
    ExtAudioFileRef file = openWithClient(stereoWav().make(), 2);
    ASSERT_NE(file, nullptr);
    AudioStreamBasicDescription nonPcm = clientFormat(44100, 2);
    nonPcm.mFormatID = kAudioFormatMPEG4AAC;
    EXPECT_EQ(setClient(file, nonPcm), kExtAudioFileError_NonPCMClientFormat);

    std::vector<AudioStreamBasicDescription> refused(7, clientFormat(44100, 2));
    refused[0].mFormatFlags |= kAudioFormatFlagIsFloat;
    refused[1].mFormatFlags |= kAudioFormatFlagIsBigEndian;
    refused[2].mFormatFlags |= kAudioFormatFlagIsNonInterleaved;
    refused[3] = clientFormat(44100, 3);
    refused[4].mBitsPerChannel = 24;
    refused[5].mSampleRate = 0;
    refused[6].mSampleRate = 44100.5;
    for (size_t i = 0; i < refused.size(); ++i)
        EXPECT_EQ(setClient(file, refused[i]), kAudioFileUnsupportedDataFormatError) << i;

    const AudioStreamBasicDescription mono = clientFormat(44100, 1);
    EXPECT_EQ(ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, 20, &mono),
              kExtAudioFileError_InvalidPropertySize);
    EXPECT_EQ(ExtAudioFileSetProperty(file, kExtAudioFileProperty_FileDataFormat, sizeof mono, &mono),
              kExtAudioFileError_InvalidProperty);

    AudioStreamBasicDescription current{};
    UInt32 size = sizeof current;
    ASSERT_EQ(ExtAudioFileGetProperty(file, kExtAudioFileProperty_ClientDataFormat, &size, &current), noErr);
    EXPECT_EQ(current.mChannelsPerFrame, 2u);
    EXPECT_EQ(SInt64(readFrames(file).size() / 2), lengthOf(file));
    ExtAudioFileDispose(file);
}

TEST(ClientFormat, PropertyQueriesCheckIdAndSize)
{
    ExtAudioFileRef file = openWithClient(stereoWav().make());
    ASSERT_NE(file, nullptr);
    SInt64 length = 0;
    UInt32 size = 4;
    EXPECT_EQ(ExtAudioFileGetProperty(file, kExtAudioFileProperty_FileLengthFrames, &size, &length),
              kExtAudioFileError_InvalidPropertySize);
    size = sizeof length;
    EXPECT_EQ(ExtAudioFileGetProperty(file, FourCC("what"), &size, &length), kExtAudioFileError_InvalidProperty);
    EXPECT_EQ(ExtAudioFileGetProperty(nullptr, kExtAudioFileProperty_FileLengthFrames, &size, &length),
              kAudioFileNotOpenError);
    ExtAudioFileDispose(file);
}

TEST(ClientFormat, ReadsFitTheCallersBufferAndReportItsBytes)
{
    ExtAudioFileRef file = openWithClient(stereoWav().make());
    ASSERT_NE(file, nullptr);
    int16_t buffer[2 * 100] = {};
    UInt32 frames = 1000; // more than the buffer holds
    AudioBufferList list{1, {{2, 40 * 4, buffer}}};
    ASSERT_EQ(ExtAudioFileRead(file, &frames, &list), noErr);
    EXPECT_EQ(frames, 40u);
    EXPECT_EQ(list.mBuffers[0].mDataByteSize, 160u);
    const std::vector<int16_t> source = testSignal(44100, 2, 40);
    EXPECT_TRUE(std::equal(source.begin(), source.end(), buffer));
    SInt64 position = 0;
    ExtAudioFileTell(file, &position);
    EXPECT_EQ(position, 40);
    EXPECT_EQ(ExtAudioFileRead(file, &frames, nullptr), kAudioFileNotOpenError);
    ExtAudioFileDispose(file);
}

} // namespace
