// Every supported format: the file data format, the length, what reads deliver against the
// signal the track was made from, and reads after a seek to frame F against frames F.. of
// the same track read straight through.

#include "TrackCases.h"

#include <cmath>

using namespace audiofile_test;

namespace {

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

class FormatsTest : public ::testing::TestWithParam<TrackCase> {};

TEST_P(FormatsTest, NamesItsEncodingDeliversTheSourceInTimeAndSeeksExactly)
{
    const TrackCase& track = GetParam();
    ExtAudioFileRef file = openWithClient(track.make());
    ASSERT_NE(file, nullptr);
    AudioStreamBasicDescription format{};
    UInt32 size = sizeof format;
    ASSERT_EQ(ExtAudioFileGetProperty(file, kExtAudioFileProperty_FileDataFormat, &size, &format), noErr);
    EXPECT_EQ(format.mFormatID, track.formatId);
    EXPECT_EQ(format.mChannelsPerFrame, UInt32(track.channels));
    EXPECT_EQ(format.mSampleRate, track.formatId == kAudioFormatOpus ? 48000 : track.rate);
    const bool pcm = track.formatId == kAudioFormatLinearPCM;
    if (pcm) { // signed packed, big-endian only for AIFF
        EXPECT_EQ(format.mFormatFlags, std::string(track.file).ends_with(".aif") ? 14u : 12u);
    }
    EXPECT_EQ(format.mBitsPerChannel, pcm ? 16u : 0u); // none per sample when compressed

    // Priming and end padding (AAC, MP3, Vorbis, Opus) are not part of the length.
    const SInt64 length = lengthOf(file);
    EXPECT_EQ(length, track.clientFrames());
    EXPECT_NEAR(double(length), double(track.frames) * 44100 / track.rate, 32);
    const std::vector<int16_t> straight = readFrames(file, -1, 777);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(readFrames(file, 100).empty()) << "a read after the end delivers nothing";

    // The source at 44.1 kHz, a mono one on both sides.
    std::vector<int16_t> expected = testSignal(44100, 2, int(track.clientFrames()));
    for (size_t i = 0; track.channels == 1 && i < expected.size(); i += 2)
        expected[i + 1] = expected[i];
    ASSERT_EQ(straight.size(), expected.size());
    if (track.lossless) {
        EXPECT_EQ(straight, expected);
    } else {
        // A shift by even a few frames (priming left in, say) drops the chirps' correlation.
        for (int channel = 0; channel < 2; ++channel)
            EXPECT_GT(correlation(straight, expected, channel, 2048), 0.98) << "channel " << channel;
    }

    // At or past the end nothing is read, also when coming from the start; seeking back
    // from there resumes.
    ASSERT_EQ(ExtAudioFileSeek(file, 0), noErr);
    for (SInt64 target : {length, length + 100000}) {
        ASSERT_EQ(ExtAudioFileSeek(file, target), noErr);
        EXPECT_TRUE(readFrames(file, 100).empty()) << "target " << target;
    }
    EXPECT_EQ(ExtAudioFileSeek(file, -1), kExtAudioFileError_InvalidSeek);
    // Inside the first packet, across packet borders, backwards, and near the end padding.
    for (SInt64 target : {length / 2 + 7, SInt64(1), SInt64(1023), SInt64(1025), SInt64(4099), length - 1500, SInt64(0), SInt64(12345), length - 1})
        expectSeekMatches(file, straight, target, track.seekTolerance);
    ExtAudioFileDispose(file);
}

INSTANTIATE_TEST_SUITE_P(Tracks, FormatsTest, ::testing::ValuesIn(kTracks), testName);

} // namespace

// AAC's noise substitution draws from a generator inside the decoder. Whatever was decoded
// before (by the decoding thread ahead of the reads, or by the reads themselves), a seek
// must leave the decoder as a fresh one: back at the start the track plays as a fresh open
// delivers it, and a seek elsewhere delivers the same frames every time.
TEST(SeekState, AfterAnyDecodingASeekDeliversWhatAFreshOpenDelivers)
{
    const std::string path = makeTrack("pns.m4a", 44100, 2, 30000, "-c:a aac -b:a 128k");
    const std::vector<int16_t> fresh = decodeAll(path);
    ExtAudioFileRef file = openWithClient(path);
    ASSERT_NE(file, nullptr);
    const SInt64 target = 12345;
    ASSERT_EQ(ExtAudioFileSeek(file, target), noErr);
    const std::vector<int16_t> firstSeek = readFrames(file, 2000);
    // The decoding thread and the reads run the decoder through the whole track.
    readFrames(file);
    ASSERT_EQ(ExtAudioFileSeek(file, 0), noErr);
    EXPECT_EQ(readFrames(file), fresh);
    ASSERT_EQ(ExtAudioFileSeek(file, target), noErr);
    EXPECT_EQ(readFrames(file, 2000), firstSeek);
    ExtAudioFileDispose(file);
}

// A lossless track several rings long (the decoding thread keeps about 2 s ahead), read
// in blocks that divide neither the ring nor the decoder's chunks: every wrap of the ring,
// on the writing and on the reading side, lands inside a copy, in stereo and in mono.
TEST(DecodeAheadRing, WrapsLandInsideCopiesAndLoseNoFrame)
{
    const int frames = 44100 * 5 + 333;
    for (UInt32 channels : {2u, 1u}) {
        ExtAudioFileRef file = openWithClient(makeTrack("ring" + std::to_string(channels) + ".wav", 44100, int(channels), frames, "-c:a pcm_s16le"), channels);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(readFrames(file, -1, 997, channels), testSignal(44100, int(channels), frames)) << channels;
        ExtAudioFileDispose(file);
    }
}
