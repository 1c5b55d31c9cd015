#include "tools/qbs-render/WavFile.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }

void put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, uint16_t(v));
    put16(out, uint16_t(v >> 16));
}

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// A data size some streaming writers leave when they cannot seek back: "up to the end".
constexpr uint32_t kSizeUnknown = 0xFFFFFFFFu;

} // namespace

WavRead readWav(const std::string& path, PcmAudio& audio, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open input file '" + path + "'";
        return WavRead::NotWav;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read input file '" + path + "'";
        return WavRead::NotWav;
    }
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        error = "input '" + path + "' is not a WAV file";
        return WavRead::NotWav;
    }

    bool haveFormat = false;
    uint16_t channels = 0, bits = 0;
    uint32_t rate = 0;
    size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        const uint8_t* chunk = bytes.data() + pos;
        uint32_t size = le32(chunk + 4);
        size_t body = pos + 8;
        size_t available = bytes.size() - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || size > available) {
                error = "input '" + path + "' has a damaged format chunk";
                return WavRead::Damaged;
            }
            const uint8_t* f = bytes.data() + body;
            uint16_t tag = le16(f);
            channels = le16(f + 2);
            rate = le32(f + 4);
            bits = le16(f + 14);
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
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                error = "input '" + path + "' has no format chunk before its data";
                return WavRead::Damaged;
            }
            size_t length = size;
            if (size == kSizeUnknown || size == 0)
                length = available;
            else if (size > available) {
                error = "input '" + path + "' is truncated (" + std::to_string(available) + " of " + std::to_string(size) + " data bytes)";
                return WavRead::Damaged;
            }
            size_t frameBytes = size_t(channels) * 2;
            size_t frames = length / frameBytes;
            audio.sampleRate = int(rate);
            audio.channels = channels;
            audio.samples.resize(frames * channels);
            const uint8_t* d = bytes.data() + body;
            for (size_t i = 0; i < audio.samples.size(); ++i)
                audio.samples[i] = int16_t(le16(d + 2 * i));
            return WavRead::Ok;
        }
        if (size > available)
            break;
        pos = body + size + (size & 1); // chunks are padded to even sizes
    }
    error = haveFormat ? "input '" + path + "' has no data chunk" : "input '" + path + "' has no format chunk";
    return WavRead::Damaged;
}

bool writeWav(const std::string& path, const PcmAudio& audio, std::string& error)
{
    const uint64_t dataBytes = uint64_t(audio.samples.size()) * 2;
    if (dataBytes > 0xFFFFFFFFull - 36) {
        error = "output is too long for a WAV file";
        return false;
    }
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, uint32_t(36 + dataBytes));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, kFormatPcm);
    put16(out, uint16_t(audio.channels));
    put32(out, uint32_t(audio.sampleRate));
    put32(out, uint32_t(audio.sampleRate) * uint32_t(audio.channels) * 2);
    put16(out, uint16_t(audio.channels * 2));
    put16(out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, uint32_t(dataBytes));
    for (int16_t s : audio.samples)
        put16(out, uint16_t(s));

    const std::string temp = path + ".part-" + std::to_string(::getpid());
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        if (!file || !file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size())) || !file.flush()) {
            file.close();
            std::remove(temp.c_str());
            error = "cannot write output file '" + path + "'";
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        error = "cannot write output file '" + path + "'";
        return false;
    }
    return true;
}
