#pragma once
// The tool's input, read a block at a time as interleaved stereo: a 16-bit PCM WAV file as
// it stands (a mono one with each sample on both channels), or any other file the player's
// engine can play, decoded as the engine decodes it (16-bit stereo at 44100 Hz) by the
// qbs-render-decode helper, started beside the tool and read through a pipe.

#include "tools/qbs-render/WavFile.h"

#include <cstdint>
#include <string>
#include <sys/types.h>

class InputAudio {
public:
    InputAudio() = default;
    InputAudio(const InputAudio&) = delete;
    InputAudio& operator=(const InputAudio&) = delete;
    ~InputAudio();

    // On failure sets `error` to one line that says what is wrong.
    bool open(const std::string& path, std::string& error);

    int sampleRate() const { return mRate; }

    // Fills `stereo` with up to `frames` frames; fewer only at the end of the input. Answers
    // the frames read, or -1 with `error` set if reading or decoding failed.
    long read(int16_t* stereo, long frames, std::string& error);

private:
    bool startDecoder(std::string& error);
    long readWav(int16_t* stereo, long frames, std::string& error);
    long readDecoded(int16_t* stereo, long frames, std::string& error);
    bool finishDecoder(std::string& error);

    std::string mPath;
    WavReader mWav;
    WavRead mWavResult = WavRead::NotWav;
    std::string mWavError;
    pid_t mDecoder = -1;
    int mPcm = -1;    // the helper's standard output
    int mErrors = -1; // the helper's standard error
    bool mUseDecoder = false;
    bool mDelivered = false;
    int mRate = 44100;
};
