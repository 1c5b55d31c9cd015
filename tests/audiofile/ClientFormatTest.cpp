// The client format: channel folding in the file and memory readers, refused formats, and
// reads that honour the caller's buffer.

#include "TrackCases.h"

using namespace audiofile_test;

namespace {

OSStatus setClient(ExtAudioFileRef file, const AudioStreamBasicDescription& format, UInt32 size = 40)
{
    return ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, size, &format);
}

TEST(ClientFormat, TwoChannelsFoldToTheirMeanFromAFileOrFromMemory)
{
    const std::vector<int16_t> source = testSignal(44100, 2, kTracks[0].frames);
    ExtAudioFileRef memory = nullptr;
    ASSERT_EQ(ExtAudioFileOpenMemory(source.data(), kTracks[0].frames, 2, &memory), noErr);
    EXPECT_EQ(lengthOf(memory), kTracks[0].frames);
    EXPECT_EQ(readFrames(memory, -1, 700), source);
    ASSERT_EQ(setClient(memory, clientFormat(44100, 1)), noErr);
    for (ExtAudioFileRef file : {openWithClient(kTracks[0].make(), 1), memory}) {
        ASSERT_NE(file, nullptr);
        const std::vector<int16_t> mono = readFrames(file, -1, 1024, 1);
        ASSERT_EQ(mono.size(), source.size() / 2);
        for (size_t i = 0; i < mono.size(); ++i)
            ASSERT_NEAR(mono[i], (source[2 * i] + source[2 * i + 1]) / 2.0, 1.0) << i;
        ExtAudioFileDispose(file);
    }
}

TEST(ClientFormat, RefusesWhatReadsCannotDeliverAndKeepsThePreviousFormat)
{
    ExtAudioFileRef file = openWithClient(kTracks[0].make(), 2);
    ASSERT_NE(file, nullptr);
    AudioStreamBasicDescription refused[7];
    std::fill(std::begin(refused), std::end(refused), clientFormat(44100, 1));
    refused[0].mFormatFlags |= kAudioFormatFlagIsFloat;
    refused[1].mFormatFlags |= kAudioFormatFlagIsBigEndian;
    refused[2].mFormatFlags |= kAudioFormatFlagIsNonInterleaved;
    refused[3] = clientFormat(44100, 3);
    refused[4].mSampleRate = 44100.5;
    refused[5].mSampleRate = 1e6;
    refused[6].mFormatID = kAudioFormatMPEG4AAC;
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(setClient(file, refused[i]), i < 6 ? kAudioFileUnsupportedDataFormatError : kExtAudioFileError_NonPCMClientFormat) << i;
    EXPECT_EQ(setClient(file, clientFormat(44100, 1), 20), kExtAudioFileError_InvalidPropertySize);
    EXPECT_EQ(ExtAudioFileSetProperty(file, kExtAudioFileProperty_FileDataFormat, 40, &refused[0]), kExtAudioFileError_InvalidProperty);
    EXPECT_EQ(SInt64(readFrames(file).size()), 2 * lengthOf(file)); // still stereo
    ExtAudioFileDispose(file);
    // The memory reader has no resampler behind it.
    const int16_t pcm[2] = {};
    ASSERT_EQ(ExtAudioFileOpenMemory(pcm, 1, 2, &file), noErr);
    EXPECT_EQ(setClient(file, clientFormat(48000, 2)), kAudioFileUnsupportedDataFormatError);
    ExtAudioFileDispose(file);
}

TEST(ClientFormat, ReadsFitTheCallersBufferAndReportItsBytes)
{
    ExtAudioFileRef file = openWithClient(kTracks[0].make());
    ASSERT_NE(file, nullptr);
    int16_t buffer[2 * 100] = {};
    UInt32 frames = 1000; // more than the buffer's 40 frames
    AudioBufferList list{1, {{2, 40 * 4, buffer}}};
    ASSERT_EQ(ExtAudioFileRead(file, &frames, &list), noErr);
    EXPECT_EQ(frames, 40u);
    EXPECT_EQ(list.mBuffers[0].mDataByteSize, 160u);
    const std::vector<int16_t> source = testSignal(44100, 2, 40);
    EXPECT_TRUE(std::equal(source.begin(), source.end(), buffer));
    EXPECT_EQ(ExtAudioFileRead(file, &frames, nullptr), kAudioFileNotOpenError);
    ExtAudioFileDispose(file);
}

} // namespace
