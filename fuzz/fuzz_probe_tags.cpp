// The scan's reading of one file (TagLib's tags and cover, FFmpeg's probe and duration, the
// cover thumbnail) and the cover reader, on any bytes under any supported extension. No
// demuxer may open anything beside the file, and a duration is never negative or beyond
// a week.

#include "FuzzSupport.h"

#include "platform/media/MediaFileReader.h"

#include <iterator>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::quietFFmpegThatMayOpenNothingElse();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const char* const kNames[] = {"input",      "input.mp3", "input.m4a", "input.flac", "input.ogg",
                                         "input.opus", "input.wav", "input.aif", "input.aiff", "input.aac",
                                         "input.wv",   "input.mka"};
    if (size < 1)
        return 0;
    const std::string path = fuzz::namedFile(kNames[data[0] % std::size(kNames)], data + 1, size - 1);
    const QByteArray pathBytes = QByteArray::fromStdString(path);
    const MediaFileReading reading = readMediaFile(pathBytes);
    if (reading.kind == MediaFileKind::Song) {
        const double seconds = reading.song.playbackDuration;
        FUZZ_CHECK(seconds >= 0.0 && seconds <= 7.0 * 24 * 3600);
    }
    (void)readEmbeddedCover(pathBytes);
    return 0;
}
