#include "tools/qbs-render/InputAudio.h"

#include "engine/CAStreamBasicDescription.h"
#include "platform/audiofile/ExtAudioFile.h"

#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}
#include <filesystem>

namespace {

std::string statusText(OSStatus status)
{
    char text[64];
    std::snprintf(text, sizeof text, "status %ld", long(status));
    return text;
}

// Decodes the whole file through the engine's reader with the engine's client format.
bool decodeWithEngineReader(const std::string& path, PcmAudio& audio, std::string& error)
{
    // The decoder's own diagnostics would break the tool's one-line error contract.
    av_log_set_level(AV_LOG_QUIET);
    // An offline decode wants every frame, as fast as the decoder gives them.
    ExtAudioFileWaitForDecoding(true);
    ExtAudioFileRef file = nullptr;
    OSStatus status = ExtAudioFileOpenURL(path, &file);
    if (status != noErr) {
        error = "cannot decode input '" + path + "' (" + statusText(status) + ")";
        return false;
    }
    CAStreamBasicDescription client;
    client.mSampleRate = 44100.0;
    client.SetCanonical(2, true);
    status = ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, sizeof client, &client);

    audio.sampleRate = 44100;
    audio.channels = 2;
    audio.samples.clear();
    constexpr UInt32 kChunkFrames = 4096;
    std::vector<int16_t> chunk(kChunkFrames * 2);
    while (status == noErr) {
        AudioBufferList list{1, {{2, UInt32(chunk.size() * sizeof(int16_t)), chunk.data()}}};
        UInt32 frames = kChunkFrames;
        status = ExtAudioFileRead(file, &frames, &list);
        if (status != noErr || frames == 0)
            break;
        audio.samples.insert(audio.samples.end(), chunk.begin(), chunk.begin() + long(frames) * 2);
    }
    ExtAudioFileDispose(file);
    if (status != noErr) {
        error = "cannot decode input '" + path + "' (" + statusText(status) + ")";
        return false;
    }
    return true;
}

} // namespace

bool loadInputAudio(const std::string& path, PcmAudio& audio, std::string& error)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "cannot open input file '" + path + "'";
        return false;
    }
    std::string wavError;
    const WavRead wav = readWav(path, audio, wavError);
    if (wav == WavRead::Ok)
        return true;
    if (wav == WavRead::Damaged) {
        error = wavError;
        return false;
    }
    if (decodeWithEngineReader(path, audio, error))
        return true;
    // A file that claims to be a WAV is best explained by what is wrong with it as a WAV.
    if (wav == WavRead::OtherSampleFormat)
        error = wavError;
    return false;
}
