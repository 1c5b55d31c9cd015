#pragma once
// Reading and writing 16-bit PCM WAV files for the offline effects tool, a run of frames at a
// time, so that a file of any length passes through a fixed amount of memory. The samples go
// straight between the caller's buffer and the file, without a buffer in between: callers
// read and write in runs of a few hundred kilobytes.

#include <cstdint>
#include <string>

enum class WavRead {
    Ok,
    NotWav,            // not a RIFF/WAVE file, or unreadable
    OtherSampleFormat, // a RIFF/WAVE file, but not 16-bit PCM with one or two channels
    Damaged,           // a 16-bit PCM WAV file whose chunks are broken or cut short
};

// A 16-bit PCM WAV file with one or two channels, read from the start of its data.
class WavReader {
public:
    WavReader() = default;
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;
    ~WavReader();

    // Opens the file and checks its header and its length; on failure sets `error` to one
    // line that says what is wrong.
    WavRead open(const std::string& path, std::string& error);

    int sampleRate() const { return mRate; }
    int channels() const { return mChannels; }

    // Reads up to `frames` frames (interleaved, `channels()` samples each) into `samples`.
    // Answers the frames read, fewer only at the end of the data, or -1 if reading failed.
    long read(int16_t* samples, long frames);

private:
    int mFd = -1;
    int mRate = 0;
    int mChannels = 0;
    uint64_t mFramesLeft = 0;
};

// A 16-bit PCM WAV file written as it goes. The file appears under its name only once it is
// complete: it is written next to it under a temporary name and renamed by finish(); a
// writer destroyed before that removes what it wrote.
class WavWriter {
public:
    WavWriter() = default;
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;
    ~WavWriter();

    bool open(const std::string& path, int sampleRate, int channels, std::string& error);
    bool write(const int16_t* samples, long frames, std::string& error);
    bool finish(std::string& error);

private:
    void discard();
    bool fail(std::string& error);

    int mFd = -1;
    std::string mPath, mTemp;
    int mChannels = 0;
    uint64_t mDataBytes = 0;
};
