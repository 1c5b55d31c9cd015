#include "tools/qbs-render/WavFile.h"

#include "tools/qbs-render/FdIo.h"

#include "platform/foundation/SafeFile.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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

// Samples in the file are little-endian; on a big-endian machine they are swapped in place.
void fileOrder(int16_t* samples, size_t count)
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
    if (mFd >= 0)
        ::close(mFd);
}

WavRead WavReader::open(const std::string& path, std::string& error)
{
    mFd = openRegularFile(path.c_str());  // never waits on a FIFO or device
    struct stat st {};
    if (mFd < 0 || ::fstat(mFd, &st) != 0) {
        error = "cannot open input file '" + path + "'";
        return WavRead::NotWav;
    }
    const uint64_t fileSize = uint64_t(st.st_size);
    uint8_t riff[12];
    const long got = readFully(mFd, riff, 12);
    if (got != 12 || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
        error = got < 0 ? "cannot read input file '" + path + "'" : "input '" + path + "' is not a WAV file";
        return WavRead::NotWav;
    }

    bool haveFormat = false;
    uint64_t pos = 12;
    uint8_t chunk[8];
    while (pos + 8 <= fileSize && readFully(mFd, chunk, 8) == 8) {
        const uint32_t size = le32(chunk + 4);
        const uint64_t body = pos + 8;
        const uint64_t available = fileSize - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t f[40] = {};
            const size_t want = size < 40 ? size : 40;
            if (size < 16 || size > available || readFully(mFd, f, want) != long(want)) {
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
            if (size == kSizeUnknown)
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
        if (::lseek(mFd, off_t(pos), SEEK_SET) != off_t(pos))
            break;
    }
    error = haveFormat ? "input '" + path + "' has no data chunk" : "input '" + path + "' has no format chunk";
    return WavRead::Damaged;
}

long WavReader::read(int16_t* samples, long frames)
{
    const uint64_t want = frames < 0 ? 0 : (uint64_t(frames) < mFramesLeft ? uint64_t(frames) : mFramesLeft);
    const size_t count = size_t(want) * size_t(mChannels);
    if (readFully(mFd, samples, count * sizeof(int16_t)) != long(count * sizeof(int16_t)))
        return -1;
    fileOrder(samples, count);
    mFramesLeft -= want;
    return long(want);
}

WavWriter::~WavWriter() { discard(); }

void WavWriter::discard()
{
    if (mFd < 0)
        return;
    ::close(mFd);
    mFd = -1;
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
    mTemp = path + ".part-XXXXXX";
    mChannels = channels;
    mDataBytes = 0;
    // A fresh name, created exclusively: a link or file planted at a guessable name is
    // never followed or overwritten.
    mFd = ::mkostemp(mTemp.data(), O_CLOEXEC);
    if (mFd >= 0)
        ::fchmod(mFd, 0644);
    if (mFd < 0) {
        error = "cannot write output file '" + path + "'";
        return false;
    }
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
    if (!writeFully(mFd, h, kHeaderBytes))
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
        fileOrder(swapped.data(), count);
        return writeFully(mFd, swapped.data(), count * 2) || fail(error);
    }
    return writeFully(mFd, samples, count * 2) || fail(error);
}

bool WavWriter::finish(std::string& error)
{
    uint8_t riffSize[4], dataSize[4];
    put32(riffSize, uint32_t(36 + mDataBytes));
    put32(dataSize, uint32_t(mDataBytes));
    if (::pwrite(mFd, riffSize, 4, 4) != 4 || ::pwrite(mFd, dataSize, 4, 40) != 4)
        return fail(error);
    const bool synced = ::fsync(mFd) == 0;
    const bool closed = ::close(mFd) == 0 && synced;
    mFd = -1;
    if (!closed || std::rename(mTemp.c_str(), mPath.c_str()) != 0) {
        std::remove(mTemp.c_str());
        error = "cannot write output file '" + mPath + "'";
        return false;
    }
    return true;
}
