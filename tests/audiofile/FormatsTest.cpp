// Every supported format: the file data format, the length, and what reads deliver against
// the signal the track was made from.

#include "TrackCases.h"

#include <cmath>

using namespace audiofile_test;

namespace {

class FormatsTest : public ::testing::TestWithParam<TrackCase> {};

// Normalised correlation at lag 0 of one channel of two stereo sequences, ends left out.
double correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b, int channel, size_t edge)
{
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 2 * edge + channel; i + 2 * edge < a.size(); i += 2) {
        ab += double(a[i]) * b[i];
        aa += double(a[i]) * a[i];
        bb += double(b[i]) * b[i];
    }
    return ab / std::sqrt(aa * bb);
}

TEST_P(FormatsTest, NamesItsEncodingAndDeliversExactlyTheTrackLength)
{
    const TrackCase& track = GetParam();
    ExtAudioFileRef file = openWithClient(track.make());
    ASSERT_NE(file, nullptr);
    const AudioStreamBasicDescription format = fileFormatOf(file);
    EXPECT_EQ(format.mFormatID, track.formatId);
    EXPECT_EQ(format.mChannelsPerFrame, UInt32(track.channels));
    EXPECT_EQ(format.mSampleRate, track.formatId == kAudioFormatOpus ? 48000 : track.rate);
    const bool pcm = track.formatId == kAudioFormatLinearPCM;
    if (pcm) { // signed packed, big-endian only for AIFF
        EXPECT_EQ(format.mFormatFlags, std::string(track.file).ends_with(".aif") ? 14u : 12u);
    }
    EXPECT_EQ(format.mBitsPerChannel, pcm ? 16u : 0u); // none per sample when compressed

    // Priming and end padding (AAC, MP3, Vorbis, Opus) are not part of the length.
    EXPECT_EQ(lengthOf(file), track.clientFrames());
    EXPECT_NEAR(double(lengthOf(file)), double(track.frames) * 44100 / track.rate, 32);
    EXPECT_EQ(SInt64(readFrames(file, -1, 1000).size() / 2), track.clientFrames());
    for (int i = 0; i < 2; ++i) {
        int16_t sample[4];
        UInt32 frames = 2;
        AudioBufferList list{1, {{2, sizeof sample, sample}}};
        EXPECT_EQ(ExtAudioFileRead(file, &frames, &list), noErr);
        EXPECT_EQ(frames, 0u);
    }
    ExtAudioFileDispose(file);
}

TEST_P(FormatsTest, DeliversTheSourceSignalInTime)
{
    const TrackCase& track = GetParam();
    ExtAudioFileRef file = openWithClient(track.make());
    ASSERT_NE(file, nullptr);
    const std::vector<int16_t> decoded = readFrames(file, -1, 777);
    // The source at 44.1 kHz, a mono one on both sides.
    std::vector<int16_t> expected = testSignal(44100, 2, int(track.clientFrames()));
    for (size_t i = 0; track.channels == 1 && i < expected.size(); i += 2)
        expected[i + 1] = expected[i];
    ASSERT_EQ(decoded.size(), expected.size());
    if (track.lossless) {
        EXPECT_EQ(decoded, expected);
    } else {
        // A shift by even a few frames (priming left in, say) drops the chirps' correlation.
        for (int channel = 0; channel < 2; ++channel)
            EXPECT_GT(correlation(decoded, expected, channel, 2048), 0.98) << "channel " << channel;
    }
    ExtAudioFileDispose(file);
}

INSTANTIATE_TEST_SUITE_P(Tracks, FormatsTest, ::testing::ValuesIn(kTracks), testName);

} // namespace
