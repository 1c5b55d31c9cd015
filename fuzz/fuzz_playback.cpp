// The playback reader on any bytes: open, read everything, then seek to frames the input
// chooses. The length is never negative, a read never delivers more than asked, the
// position never passes the length, the reads end exactly at the length (a file holding
// less than it states has its length brought down to what it holds), and a seek lands on
// its target or, past the length, at the length.

#include "FuzzSupport.h"

#include "platform/audiofile/FFmpegFileSource.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

void readAndCheck(AudioFileSource& source, UInt32 frames, std::vector<int16_t>& buffer, UInt32* delivered)
{
    *delivered = 0;
    const OSStatus status = source.read(buffer.data(), frames, delivered);
    if (status != noErr)
        *delivered = 0;
    FUZZ_CHECK(*delivered <= frames);
    FUZZ_CHECK(source.tell() >= 0 && source.tell() <= source.lengthFrames());
    FUZZ_CHECK(status != noErr || *delivered > 0 || source.tell() == source.lengthFrames());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::quietFFmpegThatMayOpenNothingElse();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const char* const kNames[] = {"input",     "input.mp3", "input.m4a", "input.flac", "input.ogg",
                                         "input.wav", "input.aif", "input.aac", "input.wv"};
    // One byte for the name, two seek targets, then the file.
    if (size < 9)
        return 0;
    uint32_t seeks[2];
    std::memcpy(seeks, data + 1, sizeof seeks);
    const std::string path = fuzz::namedFile(kNames[data[0] % std::size(kNames)], data + 9, size - 9);

    std::unique_ptr<AudioFileSource> source;
    if (FFmpegFileSource::open(path, source) != noErr)
        return 0;
    const SInt64 length = source->lengthFrames();
    FUZZ_CHECK(length >= 0);
    constexpr UInt32 kBlock = 4096;
    std::vector<int16_t> buffer(size_t(kBlock) * 2);
    // Everything, in blocks of varying size; a stated length of hours of silence is read
    // only in part.
    UInt32 delivered = 1;
    for (int block = 0; delivered > 0 && block < 2000; ++block)
        readAndCheck(*source, kBlock - UInt32(block % 7) * 500, buffer, &delivered);
    for (const uint32_t target : seeks) {
        const SInt64 frame = SInt64(target) % (length + 1);
        if (source->seek(frame) != noErr)
            continue;
        FUZZ_CHECK(source->tell() == std::min(frame, source->lengthFrames()));
        readAndCheck(*source, kBlock, buffer, &delivered);
    }
    return 0;
}
