// A read after a seek to frame F equals frames F.. of the same track read straight through.

#include "TrackCases.h"

using namespace audiofile_test;

namespace {

class SeekTest : public ::testing::TestWithParam<TrackCase> {};

void expectSeekMatches(ExtAudioFileRef file, const std::vector<int16_t>& straight, SInt64 target, int tolerance)
{
    ASSERT_EQ(ExtAudioFileSeek(file, target), noErr);
    SInt64 position = -1;
    ExtAudioFileTell(file, &position);
    EXPECT_EQ(position, target);
    const std::vector<int16_t> after = readFrames(file, 1500, 256);
    const size_t end = std::min(straight.size(), size_t(target + 1500) * 2);
    ASSERT_EQ(after.size(), end - target * 2) << "target " << target;
    int largest = 0;
    for (size_t i = 0; i < after.size(); ++i)
        largest = std::max(largest, std::abs(after[i] - straight[target * 2 + i]));
    EXPECT_LE(largest, tolerance) << "target " << target;
}

TEST_P(SeekTest, ReadAfterSeekMatchesStraightRead)
{
    const TrackCase& track = GetParam();
    ExtAudioFileRef file = openWithClient(track.make());
    ASSERT_NE(file, nullptr);
    const std::vector<int16_t> straight = readFrames(file, -1, 512);
    const SInt64 length = lengthOf(file);
    // Inside the first packet, across packet borders, backwards, and near the end padding.
    for (SInt64 target : {length / 2 + 7, SInt64(1), SInt64(1023), SInt64(1025), SInt64(4099), length - 1500, SInt64(0), SInt64(12345), length - 1})
        expectSeekMatches(file, straight, target, track.seekTolerance);
    ExtAudioFileDispose(file);
}

INSTANTIATE_TEST_SUITE_P(Tracks, SeekTest, ::testing::ValuesIn(kTracks), testName);

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

TEST(SeekEdges, VariableRateMp3SeeksLandDeepIntoTheTrack)
{
    // Long enough that a seek guessed from the bit rate would land elsewhere.
    const TrackCase track{"long-vbr.mp3", 44100, 2, 44100 * 8, "-c:a libmp3lame -q:a 5", kAudioFormatMPEGLayer3, false};
    ExtAudioFileRef file = openWithClient(track.make());
    ASSERT_NE(file, nullptr);
    const std::vector<int16_t> straight = readFrames(file, -1, 4096);
    ASSERT_EQ(SInt64(straight.size() / 2), track.clientFrames());
    for (SInt64 target : {44100 * 6 + 3, 44100 * 2 + 999})
        expectSeekMatches(file, straight, target, 0);
    ExtAudioFileDispose(file);
}

} // namespace
