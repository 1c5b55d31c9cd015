// The hooks the engine's tests rely on: injected failures, and the reader that serves PCM
// from memory without allocating while it reads.

#include "TrackCases.h"

#include <atomic>
#include <cstdlib>
#include <new>

using namespace audiofile_test;

namespace {
std::atomic<bool> countAllocations{false};
std::atomic<long> allocations{0};
} // namespace

// Counts the allocations made through operator new while a test asks for it. GCC takes
// the replaced pair for a mismatch of new and free; it is the matching pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size)
{
    if (countAllocations.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }

namespace {

constexpr OSStatus kInjected = OSStatus(FourCC("bad!"));

class TestHooks : public ::testing::Test {
protected:
    void TearDown() override { ExtAudioFileClearFailures(); }
};

TEST_F(TestHooks, EachCallFailsOnceWithTheInjectedStatus)
{
    ExtAudioFileRef file = nullptr;
    ExtAudioFileFailNext(ExtAudioFileCall::Open, kInjected);
    EXPECT_EQ(ExtAudioFileOpenURL(kTracks[0].make(), &file), kInjected);
    EXPECT_EQ(file, nullptr);
    ASSERT_EQ(ExtAudioFileOpenURL(kTracks[0].make(), &file), noErr);

    AudioStreamBasicDescription format{};
    UInt32 size = sizeof format;
    ExtAudioFileFailNext(ExtAudioFileCall::GetFileDataFormat, kInjected);
    EXPECT_EQ(ExtAudioFileGetProperty(file, kExtAudioFileProperty_FileDataFormat, &size, &format), kInjected);
    EXPECT_EQ(ExtAudioFileGetProperty(file, kExtAudioFileProperty_FileDataFormat, &size, &format), noErr);
    format = clientFormat(44100, 2);
    ExtAudioFileFailNext(ExtAudioFileCall::SetClientDataFormat, kInjected);
    EXPECT_EQ(ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, 40, &format), kInjected);
    EXPECT_EQ(ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, 40, &format), noErr);
    SInt64 length = 0;
    size = sizeof length;
    ExtAudioFileFailNext(ExtAudioFileCall::GetFileLengthFrames, kInjected);
    EXPECT_EQ(ExtAudioFileGetProperty(file, kExtAudioFileProperty_FileLengthFrames, &size, &length), kInjected);
    EXPECT_EQ(lengthOf(file), kTracks[0].frames);
    ExtAudioFileFailNext(ExtAudioFileCall::Seek, kInjected);
    EXPECT_EQ(ExtAudioFileSeek(file, 100), kInjected);
    EXPECT_EQ(readFrames(file, 10), testSignal(44100, 2, 10)); // the failed seek moved nothing
    ExtAudioFileDispose(file);
}

TEST_F(TestHooks, ReadFailsAfterTheGivenReadsAndLosesNoFrames)
{
    ExtAudioFileRef file = openWithClient(kTracks[0].make());
    ASSERT_NE(file, nullptr);
    ExtAudioFileFailNext(ExtAudioFileCall::Read, kAudioFileInvalidFileError, 2);
    std::vector<int16_t> got;
    std::vector<OSStatus> statuses;
    for (int i = 0; i < 4; ++i) {
        int16_t buffer[2 * 100];
        UInt32 frames = 100;
        AudioBufferList list{1, {{2, sizeof buffer, buffer}}};
        statuses.push_back(ExtAudioFileRead(file, &frames, &list));
        got.insert(got.end(), buffer, buffer + frames * 2);
    }
    EXPECT_EQ(statuses, (std::vector<OSStatus>{noErr, noErr, kAudioFileInvalidFileError, noErr}));
    EXPECT_EQ(got, testSignal(44100, 2, 300));
    ExtAudioFileDispose(file);
}

TEST_F(TestHooks, MemoryReaderServesItsPcmAsAFileWould)
{
    const std::vector<int16_t> stereo = testSignal(44100, 2, 5000);
    ExtAudioFileRef file = nullptr;
    ASSERT_EQ(ExtAudioFileOpenMemory(stereo.data(), 5000, 2, &file), noErr);
    EXPECT_EQ(lengthOf(file), 5000);
    EXPECT_EQ(readFrames(file, -1, 700), stereo);
    AudioStreamBasicDescription format = clientFormat(44100, 1);
    ASSERT_EQ(ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, 40, &format), noErr);
    const std::vector<int16_t> folded = readFrames(file, -1, 512, 1);
    ASSERT_EQ(folded.size(), 5000u);
    for (size_t i = 0; i < folded.size(); ++i)
        ASSERT_NEAR(folded[i], (stereo[2 * i] + stereo[2 * i + 1]) / 2.0, 0.5);
    format = clientFormat(48000, 1); // no resampler behind it
    EXPECT_EQ(ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, 40, &format), kAudioFileUnsupportedDataFormatError);
    ExtAudioFileDispose(file);
}

TEST_F(TestHooks, ReadsAllocateNothingOfTheirOwn)
{
    // FFmpeg's decoders use their own allocator, which this does not count.
    const std::vector<int16_t> stereo = testSignal(44100, 2, 20000);
    ExtAudioFileRef memory = nullptr;
    ASSERT_EQ(ExtAudioFileOpenMemory(stereo.data(), 20000, 2, &memory), noErr);
    ExtAudioFileRef wav = openWithClient(kTracks[0].make()), aac = openWithClient(kTracks[4].make());
    ExtAudioFileRef resampled = openWithClient(kTracks[8].make());
    ASSERT_TRUE(wav && aac && resampled);
    std::vector<int16_t> block(2 * 1024);
    allocations = 0;
    countAllocations = true;
    for (ExtAudioFileRef file : {memory, wav, aac, resampled}) {
        for (UInt32 frames = 1; frames > 0;) {
            frames = 1024;
            AudioBufferList list{1, {{2, 4096, block.data()}}};
            if (ExtAudioFileRead(file, &frames, &list) != noErr)
                break;
        }
    }
    countAllocations = false;
    EXPECT_EQ(allocations.load(), 0);
    for (ExtAudioFileRef file : {memory, wav, aac, resampled})
        ExtAudioFileDispose(file);
}

} // namespace
