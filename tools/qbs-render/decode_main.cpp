// qbs-render-decode INPUT: decodes any file the player's engine can play, as the engine
// decodes it (16-bit interleaved stereo at 44100 Hz, native byte order), to standard
// output. qbs-render starts it for inputs that are not 16-bit PCM WAV files, so that the
// tool itself loads no decoder libraries (whose loading alone costs more than rendering a
// minute of a WAV file). On failure it writes one line saying what is wrong to standard
// error and exits with status 2.

#include "engine/CAStreamBasicDescription.h"
#include "platform/audiofile/ExtAudioFile.h"

#include <cstdio>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

namespace {

int fail(const std::string& path, OSStatus status)
{
    std::fprintf(stderr, "cannot decode input '%s' (status %ld)\n", path.c_str(), long(status));
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: qbs-render-decode INPUT\n", stderr);
        return 2;
    }
    const std::string path = argv[1];
    // The decoder's own diagnostics would break the one-line error contract.
    av_log_set_level(AV_LOG_QUIET);
    // An offline decode wants every frame, as fast as the decoder gives them.
    ExtAudioFileWaitForDecoding(true);
    ExtAudioFileRef file = nullptr;
    OSStatus status = ExtAudioFileOpenURL(path, &file);
    if (status != noErr)
        return fail(path, status);
    CAStreamBasicDescription client;
    client.mSampleRate = 44100.0;
    client.SetCanonical(2, true);
    status = ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, sizeof client, &client);

    constexpr UInt32 kChunkFrames = 4096;
    std::vector<int16_t> chunk(kChunkFrames * 2);
    while (status == noErr) {
        AudioBufferList list{1, {{2, UInt32(chunk.size() * sizeof(int16_t)), chunk.data()}}};
        UInt32 frames = kChunkFrames;
        status = ExtAudioFileRead(file, &frames, &list);
        if (status != noErr || frames == 0)
            break;
        if (std::fwrite(chunk.data(), 2 * sizeof(int16_t), frames, stdout) != frames)
            break; // the reader went away: nothing more to do
    }
    ExtAudioFileDispose(file);
    if (status != noErr)
        return fail(path, status);
    return std::fflush(stdout) == 0 ? 0 : 2;
}
