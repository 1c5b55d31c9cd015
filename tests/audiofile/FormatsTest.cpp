// Every supported format: what the file data format says, the length, and what reads
// deliver, against the signal the track was made from.

#include "TrackCases.h"

#include <gtest/gtest.h>

using namespace audiofile_test;

namespace {

class FormatsTest : public ::testing::TestWithParam<TrackCase> {};

// The source as the reader should deliver it: 44.1 kHz stereo (a mono track on both sides).
std::vector<int16_t> expectedStereo(const TrackCase& track)
{
    const int frames = int(track.clientFrames());
    std::vector<int16_t> signal = testSignal(44100, 2, frames);
    if (track.channels == 1) {
        for (int i = 0; i < frames; ++i)
            signal[2 * i + 1] = signal[2 * i];
    }
    return signal;
}

std::vector<int16_t> channel(const std::vector<int16_t>& stereo, int which, size_t from = 0, size_t to = SIZE_MAX)
{
    std::vector<int16_t> out;
    for (size_t i = from; i < std::min(to, stereo.size() / 2); ++i)
        out.push_back(stereo[2 * i + which]);
    return out;
}

TEST_P(FormatsTest, FileDataFormatNamesTheEncoding)
{
    const TrackCase& track = GetParam();
    ExtAudioFileRef file = nullptr;
    ASSERT_EQ(ExtAudioFileOpenURL(track.make(), &file), noErr);
    const AudioStreamBasicDescription format = fileFormatOf(file);
    EXPECT_EQ(format.mFormatID, track.formatId);
    EXPECT_EQ(format.mChannelsPerFrame, UInt32(track.channels));
    EXPECT_EQ(format.mSampleRate, track.formatId == kAudioFormatOpus ? 48000 : track.rate);
    if (track.formatId == kAudioFormatLinearPCM) {
        const bool aiff = std::string(track.file).ends_with(".aif");
        EXPECT_EQ(format.mFormatFlags, aiff ? 14u : 12u); // big-endian bit only for AIFF
        EXPECT_EQ(format.mBitsPerChannel, 16u);
        EXPECT_EQ(format.mBytesPerFrame, 2u * track.channels);
    } else {
        EXPECT_EQ(format.mBitsPerChannel, 0u); // compressed: no bit depth per sample
    }
    ExtAudioFileDispose(file);
}

TEST_P(FormatsTest, DeliversExactlyTheTrackLengthThenNothing)
{
    const TrackCase& track = GetParam();
    ExtAudioFileRef file = openWithClient(track.make());
    ASSERT_NE(file, nullptr);
    // Priming and end padding of AAC, MP3, Vorbis and Opus are not part of the length.
    EXPECT_EQ(lengthOf(file), track.clientFrames());
    EXPECT_NEAR(double(lengthOf(file)), double(track.frames) * 44100 / track.rate, 32);
    const std::vector<int16_t> decoded = readFrames(file, -1, 1000);
    EXPECT_EQ(SInt64(decoded.size() / 2), track.clientFrames());
    for (int i = 0; i < 3; ++i) {
        int16_t sample[4];
        UInt32 frames = 2;
        AudioBufferList list{1, {{2, sizeof sample, sample}}};
        EXPECT_EQ(ExtAudioFileRead(file, &frames, &list), noErr);
        EXPECT_EQ(frames, 0u);
        EXPECT_EQ(list.mBuffers[0].mDataByteSize, 0u);
    }
    ExtAudioFileDispose(file);
}

TEST_P(FormatsTest, DeliversTheSourceSignalInTime)
{
    const TrackCase& track = GetParam();
    ExtAudioFileRef file = openWithClient(track.make());
    ASSERT_NE(file, nullptr);
    const std::vector<int16_t> decoded = readFrames(file, -1, 777);
    const std::vector<int16_t> expected = expectedStereo(track);
    ASSERT_EQ(decoded.size(), expected.size());
    if (track.lossless) {
        EXPECT_EQ(decoded, expected);
    } else {
        // Lossy or resampled: the same waveform at the same time. A shift of even a few
        // frames (priming left in, padding at the front) drops the chirp's correlation.
        const size_t edge = 2048; // codecs and filters ramp in and out at the ends
        const size_t frames = expected.size() / 2;
        for (int c = 0; c < 2; ++c) {
            EXPECT_GT(correlation(channel(decoded, c, edge, frames - edge), channel(expected, c, edge, frames - edge)), 0.98)
                << "channel " << c;
        }
    }
    ExtAudioFileDispose(file);
}

INSTANTIATE_TEST_SUITE_P(Tracks, FormatsTest, ::testing::ValuesIn(kTracks),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace
