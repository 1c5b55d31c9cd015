#include "AudioFixtures.h"

#include "../SoundFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

namespace audiofile_test {

namespace {
// The tests read tracks through faster than real time and compare every frame: their reads
// wait for the decoder rather than coming back short. Tests of the short reads turn it off.
const bool gReadsWait = [] {
    ExtAudioFileWaitForDecoding(true);
    return true;
}();
} // namespace

std::vector<int16_t> testSignal(int rate, int channels, int frames)
{
    std::vector<int16_t> samples(size_t(frames) * channels);
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        samples[size_t(i) * channels] = int16_t(std::lround(6000 * std::sin(2 * pi * 440 * t) + 5000 * std::sin(2 * pi * (200 * t + 800 * t * t))));
        if (channels == 2)
            samples[size_t(i) * 2 + 1] = int16_t(std::lround(6000 * std::sin(2 * pi * 660 * t) + 5000 * std::sin(2 * pi * (300 * t + 600 * t * t))));
    }
    return samples;
}

const std::string& fixtureDir()
{
    static struct TempDir {
        std::string path;
        TempDir()
        {
            char pattern[] = "/tmp/tavoro-audiofile-XXXXXX";
            path = mkdtemp(pattern);
        }
        ~TempDir() { std::filesystem::remove_all(path); }
    } dir;
    return dir.path;
}

std::string writeFile(const std::string& name, const std::string& bytes)
{
    const std::string path = fixtureDir() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string readWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string makeTrack(const std::string& name, int rate, int channels, int frames, const std::string& encodeArgs)
{
    static std::set<std::string> made;
    if (!made.insert(name).second)
        return fixtureDir() + "/" + name;
    const std::vector<int16_t> samples = testSignal(rate, channels, frames);
    return encodeSamples(name, samples.data(), samples.size(), rate, channels, encodeArgs);
}

std::string encodeSamples(const std::string& name, const int16_t* samples, size_t count, int rate, int channels,
                          const std::string& encodeArgs)
{
    const std::string raw = writeFile(name + ".raw", std::string(reinterpret_cast<const char*>(samples), count * 2));
    const std::string path = fixtureDir() + "/" + name;
    const std::string input = "-f s16le -ar " + std::to_string(rate) + " -ac " + std::to_string(channels) + " -i '" + raw + "'";
    EXPECT_TRUE(test_files::ffmpegMake(input, encodeArgs, path)) << path;
    return path;
}

SInt64 probeStreamDuration(const std::string& path)
{
    const std::string command = "ffprobe -v error -select_streams a:0 -show_entries stream=duration_ts -of csv=p=0 '" + path + "'";
    long long duration = -1;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        if (fscanf(pipe, "%lld", &duration) != 1)
            duration = -1;
        pclose(pipe);
    }
    return duration;
}

AudioStreamBasicDescription clientFormat(Float64 rate, UInt32 channels)
{
    return {rate, kAudioFormatLinearPCM, 12, 2 * channels, 1, 2 * channels, channels, 16, 0};
}

ExtAudioFileRef openWithClient(const std::string& path, UInt32 channels, Float64 rate)
{
    ExtAudioFileRef file = nullptr;
    EXPECT_EQ(ExtAudioFileOpenURL(path, &file), noErr) << path;
    const AudioStreamBasicDescription client = clientFormat(rate, channels);
    if (file) {
        EXPECT_EQ(ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, sizeof client, &client), noErr);
    }
    return file;
}

std::vector<int16_t> readFrames(ExtAudioFileRef file, long frames, UInt32 block, UInt32 channels)
{
    std::vector<int16_t> out, buffer(size_t(block) * channels);
    while (frames < 0 || long(out.size() / channels) < frames) {
        UInt32 want = frames < 0 ? block : UInt32(std::min<long>(block, frames - long(out.size() / channels)));
        AudioBufferList list{1, {{channels, UInt32(buffer.size() * 2), buffer.data()}}};
        const OSStatus status = ExtAudioFileRead(file, &want, &list);
        EXPECT_EQ(status, noErr);
        if (status != noErr || want == 0)
            break;
        out.insert(out.end(), buffer.begin(), buffer.begin() + long(want) * channels);
    }
    return out;
}

std::vector<int16_t> decodeAll(const std::string& path, UInt32 channels)
{
    ExtAudioFileRef file = openWithClient(path, channels);
    std::vector<int16_t> samples = file ? readFrames(file, -1, 4096, channels) : std::vector<int16_t>();
    ExtAudioFileDispose(file);
    return samples;
}

SInt64 lengthOf(ExtAudioFileRef file)
{
    SInt64 length = -1;
    UInt32 size = sizeof length;
    EXPECT_EQ(ExtAudioFileGetProperty(file, kExtAudioFileProperty_FileLengthFrames, &size, &length), noErr);
    return length;
}

} // namespace audiofile_test
