// Seeks land exactly: what a read returns after a seek to frame F equals frames F.. of the
// same track read straight through, for every format and for a resampled track.

#include "TrackCases.h"

#include <gtest/gtest.h>

using namespace audiofile_test;

namespace {

class SeekTest : public ::testing::TestWithParam<TrackCase> {};

TEST_P(SeekTest, ReadAfterSeekMatchesStraightRead)
{
    const TrackCase& track = GetParam();
    ExtAudioFileRef file = openWithClient(track.make());
    ASSERT_NE(file, nullptr);
    const std::vector<int16_t> straight = readFrames(file, -1, 512);
    const SInt64 length = SInt64(straight.size() / 2);
    ASSERT_EQ(length, lengthOf(file));

    // Targets inside the first packet, across packet borders, mid-track, backwards, and
    // near the end (where the encoder's end padding follows).
    const SInt64 targets[] = {length / 2 + 7, 1, 1023, 1025, 4099, length - 1500, 0, 12345, length - 1, 333};
    for (SInt64 target : targets) {
        ASSERT_EQ(ExtAudioFileSeek(file, target), noErr);
        SInt64 position = -1;
        ExtAudioFileTell(file, &position);
        EXPECT_EQ(position, target);
        const std::vector<int16_t> after = readFrames(file, 1500, 256);
        const std::vector<int16_t> expected(straight.begin() + target * 2,
                                            straight.begin() + std::min(length, target + 1500) * 2);
        ASSERT_EQ(after.size(), expected.size()) << "target " << target;
        int largestDifference = 0;
        for (size_t i = 0; i < after.size(); ++i)
            largestDifference = std::max(largestDifference, std::abs(after[i] - expected[i]));
        EXPECT_LE(largestDifference, track.seekTolerance) << "target " << target;
    }
    ExtAudioFileDispose(file);
}

INSTANTIATE_TEST_SUITE_P(Tracks, SeekTest, ::testing::ValuesIn(kTracks),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(SeekEdges, AtOrPastTheEndReadsNothingAndSeekingBackResumes)
{
    ExtAudioFileRef file = openWithClient(kTracks[0].make());
    ASSERT_NE(file, nullptr);
    const SInt64 length = lengthOf(file);
    for (SInt64 target : {length, length + 100000}) {
        ASSERT_EQ(ExtAudioFileSeek(file, target), noErr);
        EXPECT_TRUE(readFrames(file, 100).empty());
    }
    ASSERT_EQ(ExtAudioFileSeek(file, length - 10), noErr);
    EXPECT_EQ(readFrames(file).size(), 20u);
    EXPECT_EQ(ExtAudioFileSeek(file, -1), kExtAudioFileError_InvalidSeek);
    ExtAudioFileDispose(file);
}

TEST(SeekEdges, LongMp3SeeksLandExactlyDeepIntoTheTrack)
{
    // Long enough that FFmpeg would otherwise guess MP3 seek positions from the bit rate.
    const TrackCase track{"long-vbr.mp3", 44100, 2, 44100 * 8, "-c:a libmp3lame -q:a 5", kAudioFormatMPEGLayer3, false};
    ExtAudioFileRef file = openWithClient(track.make());
    ASSERT_NE(file, nullptr);
    const std::vector<int16_t> straight = readFrames(file, -1, 4096);
    ASSERT_EQ(SInt64(straight.size() / 2), track.clientFrames());
    for (SInt64 target : {SInt64(44100 * 6 + 3), SInt64(44100 * 2 + 999)}) {
        ASSERT_EQ(ExtAudioFileSeek(file, target), noErr);
        const std::vector<int16_t> after = readFrames(file, 1000);
        EXPECT_TRUE(std::equal(after.begin(), after.end(), straight.begin() + target * 2)) << target;
    }
    ExtAudioFileDispose(file);
}

} // namespace
