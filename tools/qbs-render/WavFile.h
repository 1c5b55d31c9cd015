#pragma once
// Reading and writing 16-bit PCM WAV files for the offline effects tool.

#include <cstdint>
#include <string>
#include <vector>

struct PcmAudio {
    int sampleRate = 44100;
    int channels = 2;
    std::vector<int16_t> samples; // interleaved, `channels` per frame

    size_t frames() const { return channels > 0 ? samples.size() / size_t(channels) : 0; }
};

enum class WavRead {
    Ok,
    NotWav,            // not a RIFF/WAVE file, or unreadable
    OtherSampleFormat, // a RIFF/WAVE file, but not 16-bit PCM with one or two channels
    Damaged,           // a 16-bit PCM WAV file whose chunks are broken or cut short
};

// Reads a 16-bit PCM WAV file with one or two channels. On failure sets `error` to one line
// that says what is wrong.
WavRead readWav(const std::string& path, PcmAudio& audio, std::string& error);

// Writes `audio` as a 16-bit PCM WAV file. The file appears under `path` only once it is
// complete: it is written next to it under a temporary name and renamed.
bool writeWav(const std::string& path, const PcmAudio& audio, std::string& error);
