#include "tools/qbs-render/WavFile.h"

#include <bit>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }

void put16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void put32(uint8_t* p, uint32_t v)
{
    put16(p, uint16_t(v));
    put16(p + 2, uint16_t(v >> 16));
}

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// A data size some streaming writers leave when they cannot seek back: "up to the end".
constexpr uint32_t kSizeUnknown = 0xFFFFFFFFu;
constexpr size_t kHeaderBytes = 44;
// Large enough that reading and writing cost a few dozen system calls per minute of audio.
constexpr size_t kIoBuffer = size_t(1) << 18;

// Samples in the file are little-endian; on a big-endian machine they are swapped in place.
void toFileOrder(int16_t* samples, size_t count)
{
    if constexpr (std::endian::native == std::endian::big)
        for (size_t i = 0; i < count; ++i)
            samples[i] = int16_t(__builtin_bswap16(uint16_t(samples[i])));
    else
        (void)samples, (void)count;
}

} // namespace

WavReader::~WavReader()
{
    if (mFile)
        std::fclose(mFile);
}

WavRead WavReader::open(const std::string& path, std::string& error)
{
    mFile = std::fopen(path.c_str(), "rb");
    struct stat st {};
    if (!mFile || ::fstat(fileno(mFile), &st) != 0) {
        error = "cannot open input file '" + path + "'";
        return WavRead::NotWav;
    }
    mBuffer = std::make_unique<char[]>(kIoBuffer);
    std::setvbuf(mFile, mBuffer.get(), _IOFBF, kIoBuffer);
    const uint64_t fileSize = uint64_t(st.st_size);
    uint8_t riff[12];
    if (std::fread(riff, 1, 12, mFile) != 12 || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
        error = std::ferror(mFile) ? "cannot read input file '" + path + "'" : "input '" + path + "' is not a WAV file";
        return WavRead::NotWav;
    }

    bool haveFormat = false;
    uint64_t pos = 12;
    uint8_t chunk[8];
    while (pos + 8 <= fileSize && std::fread(chunk, 1, 8, mFile) == 8) {
        const uint32_t size = le32(chunk + 4);
        const uint64_t body = pos + 8;
        const uint64_t available = fileSize - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t f[40] = {};
            if (size < 16 || size > available || std::fread(f, 1, size < 40 ? size : 40, mFile) != (size < 40 ? size : 40)) {
                error = "input '" + path + "' has a damaged format chunk";
                return WavRead::Damaged;
            }
            uint16_t tag = le16(f);
            const uint16_t channels = le16(f + 2);
            const uint32_t rate = le32(f + 4);
            const uint16_t bits = le16(f + 14);
            if (tag == kFormatExtensible && size >= 40)
                tag = le16(f + 24); // the sub-format's first two bytes carry the plain tag
            if (tag != kFormatPcm || bits != 16) {
                error = "input '" + path + "' is not 16-bit PCM (format " + std::to_string(tag) + ", " + std::to_string(bits) + " bits)";
                return WavRead::OtherSampleFormat;
            }
            if (channels != 1 && channels != 2) {
                error = "input '" + path + "' has " + std::to_string(channels) + " channels; only mono and stereo are supported";
                return WavRead::OtherSampleFormat;
            }
            if (rate == 0 || rate > 0x7FFFFFFF) {
                error = "input '" + path + "' has an invalid sample rate";
                return WavRead::OtherSampleFormat;
            }
            mChannels = channels;
            mRate = int(rate);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                error = "input '" + path + "' has no format chunk before its data";
                return WavRead::Damaged;
            }
            uint64_t length = size;
            if (size == kSizeUnknown || size == 0)
                length = available;
            else if (size > available) {
                error = "input '" + path + "' is truncated (" + std::to_string(available) + " of " + std::to_string(size) + " data bytes)";
                return WavRead::Damaged;
            }
            mFramesLeft = length / (uint64_t(mChannels) * 2);
            return WavRead::Ok;
        }
        if (size > available)
            break;
        pos = body + size + (size & 1); // chunks are padded to even sizes
        if (std::fseek(mFile, long(pos), SEEK_SET) != 0)
            break;
    }
    error = haveFormat ? "input '" + path + "' has no data chunk" : "input '" + path + "' has no format chunk";
    return WavRead::Damaged;
}

long WavReader::read(int16_t* samples, long frames)
{
    const uint64_t want = frames < 0 ? 0 : (uint64_t(frames) < mFramesLeft ? uint64_t(frames) : mFramesLeft);
    const size_t count = size_t(want) * size_t(mChannels);
    if (std::fread(samples, sizeof(int16_t), count, mFile) != count)
        return -1;
    toFileOrder(samples, count);
    mFramesLeft -= want;
    return long(want);
}

WavWriter::~WavWriter() { discard(); }

void WavWriter::discard()
{
    if (!mFile)
        return;
    std::fclose(mFile);
    mFile = nullptr;
    std::remove(mTemp.c_str());
}

bool WavWriter::fail(std::string& error)
{
    discard();
    error = "cannot write output file '" + mPath + "'";
    return false;
}

bool WavWriter::open(const std::string& path, int sampleRate, int channels, std::string& error)
{
    mPath = path;
    mTemp = path + ".part-" + std::to_string(::getpid());
    mChannels = channels;
    mDataBytes = 0;
    mFile = std::fopen(mTemp.c_str(), "wb");
    if (!mFile) {
        error = "cannot write output file '" + path + "'";
        return false;
    }
    mBuffer = std::make_unique<char[]>(kIoBuffer);
    std::setvbuf(mFile, mBuffer.get(), _IOFBF, kIoBuffer);
    // The sizes are filled in by finish().
    uint8_t h[kHeaderBytes];
    std::memcpy(h, "RIFF\0\0\0\0WAVEfmt ", 16);
    put32(h + 16, 16);
    put16(h + 20, kFormatPcm);
    put16(h + 22, uint16_t(channels));
    put32(h + 24, uint32_t(sampleRate));
    put32(h + 28, uint32_t(sampleRate) * uint32_t(channels) * 2);
    put16(h + 32, uint16_t(channels * 2));
    put16(h + 34, 16);
    std::memcpy(h + 36, "data\0\0\0\0", 8);
    if (std::fwrite(h, 1, kHeaderBytes, mFile) != kHeaderBytes)
        return fail(error);
    return true;
}

bool WavWriter::write(const int16_t* samples, long frames, std::string& error)
{
    const size_t count = size_t(frames) * size_t(mChannels);
    mDataBytes += count * 2;
    if (mDataBytes > 0xFFFFFFFFull - 36) {
        discard();
        error = "output is too long for a WAV file";
        return false;
    }
    if constexpr (std::endian::native == std::endian::big) {
        std::vector<int16_t> swapped(samples, samples + count);
        toFileOrder(swapped.data(), count);
        if (std::fwrite(swapped.data(), sizeof(int16_t), count, mFile) != count)
            return fail(error);
    } else if (std::fwrite(samples, sizeof(int16_t), count, mFile) != count) {
        return fail(error);
    }
    return true;
}

bool WavWriter::finish(std::string& error)
{
    uint8_t riffSize[4], dataSize[4];
    put32(riffSize, uint32_t(36 + mDataBytes));
    put32(dataSize, uint32_t(mDataBytes));
    if (std::fseek(mFile, 4, SEEK_SET) != 0 || std::fwrite(riffSize, 1, 4, mFile) != 4 || std::fseek(mFile, 40, SEEK_SET) != 0
        || std::fwrite(dataSize, 1, 4, mFile) != 4 || std::fflush(mFile) != 0)
        return fail(error);
    const bool closed = std::fclose(mFile) == 0;
    mFile = nullptr;
    if (!closed || std::rename(mTemp.c_str(), mPath.c_str()) != 0) {
        std::remove(mTemp.c_str());
        error = "cannot write output file '" + mPath + "'";
        return false;
    }
    return true;
}
