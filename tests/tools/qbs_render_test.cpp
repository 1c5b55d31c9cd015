// The offline effects tool as its users drive it: through its command line and files.

#include "../SoundFiles.h"
#include "qbs/QBS.h"
#include "tests/qbs/ptc_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/wait.h>

namespace fs = std::filesystem;
using namespace test_files;

namespace {

struct RunResult {
    int status;
    std::string err;
};

// 16-bit PCM audio as the tests write and read it.
struct PcmAudio {
    int sampleRate = 44100;
    int channels = 2;
    std::vector<int16_t> samples; // interleaved

    size_t frames() const { return samples.size() / size_t(channels); }
};

// Reads a file with the plain 44-byte header the tool writes.
PcmAudio readTestWav(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::string b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    PcmAudio a;
    auto u32 = [&](size_t at) { return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24; };
    EXPECT_GE(b.size(), 44u);
    if (b.size() < 44)
        return a;
    EXPECT_EQ(b.substr(0, 4) + b.substr(8, 8) + b.substr(36, 4), "RIFFWAVEfmt data");
    EXPECT_EQ(u32(4), b.size() - 8);
    EXPECT_EQ(u32(40), b.size() - 44);
    a.channels = uint8_t(b[22]);
    a.sampleRate = int(u32(24));
    a.samples.resize((b.size() - 44) / 2);
    if (!a.samples.empty())
        std::memcpy(a.samples.data(), b.data() + 44, a.samples.size() * 2);
    return a;
}

class QbsRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("qbs-render-test-" + std::to_string(::getpid()) + "-"
                                           + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    RunResult run(const std::string& args) const
    {
        std::string errFile = path("stderr.txt");
        std::string cmd = std::string(QBS_RENDER_PATH) + " " + args + " >/dev/null 2>" + errFile;
        int raw = std::system(cmd.c_str());
        std::ifstream in(errFile);
        std::string err((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, err};
    }

    // A two-tone test signal at 44100 Hz with a full-scale burst, `channels` wide.
    PcmAudio makeSignal(int frames, int channels) const
    {
        PcmAudio a;
        a.channels = channels;
        for (int i = 0; i < frames; ++i) {
            for (int c = 0; c < channels; ++c) {
                double v = 12000 * std::sin(2 * M_PI * 220 * i / 44100 + c) + 9000 * std::sin(2 * M_PI * 3100 * i / 44100);
                if (i % 5000 < 40)
                    v = (i % 2) ? 32767 : -32768;
                a.samples.push_back(int16_t(std::lround(v)));
            }
        }
        return a;
    }

    void write(const std::string& name, const PcmAudio& a) const
    {
        std::ofstream(path(name), std::ios::binary) << wavBytes(a.samples, a.sampleRate, a.channels);
    }
    PcmAudio read(const std::string& name) const { return readTestWav(path(name)); }

    fs::path dir;
};

// The whole signal through one effect in memory, cut into blocks of `block` frames, the last
// one shorter; what the speed/pitch block has not yet delivered stays silence, as in the
// tool's output.
using Process = void (*)(int16_t*, const int16_t*, int32_t);
std::vector<int16_t> inMemory(Process process, const std::vector<int16_t>& stereo, size_t block)
{
    std::vector<int16_t> out(stereo.size(), 0);
    for (size_t at = 0; at < stereo.size(); at += 2 * block)
        process(out.data() + at, stereo.data() + at, int32_t(std::min(2 * block, stereo.size() - at)));
    return out;
}

} // namespace

TEST_F(QbsRender, StreamedOutputEqualsTheWholeSignalProcessedInMemory)
{
    // Long enough for many blocks and for the speed/pitch block to deliver; block sizes that
    // do not divide the length.
    PcmAudio in = makeSignal(100000, 2);
    write("in.wav", in);
    struct Case {
        const char* args;
        std::function<Process()> prepare;
        size_t block;
    };
    const Case cases[] = {
        {"--effect bypass", [] { return Process(QBS_BYPASS); }, 1024},
        {"--effect eq --preset 1 --bands 24,12,0,12,18,12,3 --block 333", [] {
             QBS_MEQ_Init(2, 44100);
             QBS_MEQ_Set_Mode(1);
             const int16_t bands[7] = {24, 12, 0, 12, 18, 12, 3};
             for (int b = 0; b < 7; ++b)
                 QBS_MEQ_BAND[b] = bands[b];
             return Process(QBSt_MEQ);
         }, 333},
        {"--effect m3d --surround 7 --bass 10 --shift 1", [] {
             QBS_M3D_Init(1, 44100);
             QBS_M3D_SURR = 7;
             QBS_M3D_BASS = 10;
             return Process(QBSt_M3D);
         }, 1024},
        {"--effect stage --stage-preset 2 --rate 48000", [] {
             QBS_MOS_Init(2, 48000);
             QBS_MOS_PRESET = 2;
             return Process(QBSt_MOS);
         }, 1024},
        {"--effect ptc --speed 150 --pitch=-2 --block 4000", [] {
             Prepare(150, -2);
             return Process(QBS_PTC);
         }, 4000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        RunResult r = run(std::string(c.args) + " " + path("in.wav") + " " + path("out.wav"));
        ASSERT_EQ(r.status, 0) << r.err;
        PcmAudio out = read("out.wav");
        EXPECT_EQ(out.channels, 2);
        EXPECT_EQ(out.sampleRate, 44100);
        ASSERT_EQ(out.frames(), in.frames());
        const std::vector<int16_t> expected = inMemory(c.prepare(), in.samples, c.block);
        EXPECT_EQ(out.samples, expected);
        EXPECT_NE(std::count(expected.begin(), expected.end(), 0), long(expected.size()));
    }
}

TEST_F(QbsRender, BypassOfAMonoFileIsStereoAtTheInputRateShiftedByTwo)
{
    PcmAudio in;
    in.sampleRate = 22050;
    in.channels = 1;
    in.samples = {0, 32767, -32768, -1, 5, -5};
    write("mono.wav", in);
    RunResult r = run("--effect bypass " + path("mono.wav") + " " + path("out.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    PcmAudio out = read("out.wav");
    EXPECT_EQ(out.sampleRate, 22050);
    EXPECT_EQ(out.samples, (std::vector<int16_t>{0, 0, 8191, 8191, -8192, -8192, -1, -1, 1, 1, -2, -2}));
}

TEST_F(QbsRender, BadInputGivesOneErrorLineStatusTwoAndNoOutput)
{
    write("in.wav", makeSignal(100, 2));
    std::ofstream(path("text.wav")) << "this is not audio";
    {
        // A WAV header over a data chunk that stops short: truncated.
        std::ofstream f(path("short.wav"), std::ios::binary);
        std::ifstream full(path("in.wav"), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(full)), std::istreambuf_iterator<char>());
        f << bytes.substr(0, bytes.size() / 2);
    }
    std::string in = path("in.wav"), out = path("out.wav");
    const std::string bad[] = {
        "--effect eq " + path("missing.wav") + " " + out,
        "--effect eq " + path("text.wav") + " " + out,
        "--effect eq " + path("short.wav") + " " + out,
        "--effect reverb " + in + " " + out,
        "--effect eq --loud 3 " + in + " " + out,
        "--effect eq --preset 9 " + in + " " + out,
        "--effect eq --bands 1,2,3 " + in + " " + out,
        "--effect eq --bands 1,2,3,4,5,6,25 " + in + " " + out,
        "--effect m3d --surround 11 " + in + " " + out,
        "--effect ptc --speed 49 " + in + " " + out,
        "--effect ptc --pitch 7 " + in + " " + out,
        "--effect ptc --pitch 2x " + in + " " + out,
        "--effect stage --block 0 " + in + " " + out,
        "--effect stage " + in,
        in + " " + out,
        "--effect bypass " + in + " " + path("no-such-dir/out.wav"),
    };
    // The text file is handed to the decoder helper, which fails only after the output
    // file has been started: the unfinished file must go too.
    for (const std::string& args : bad) {
        SCOPED_TRACE(args);
        RunResult r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.rfind("qbs-render: ", 0), 0u) << r.err;
        EXPECT_FALSE(fs::exists(out));
    }
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos) << entry.path();
}

TEST_F(QbsRender, ReadsExtensibleAndOddChunkedWavFiles)
{
    // A WAVE_FORMAT_EXTENSIBLE header and an odd-sized chunk before the data, as other
    // writers produce them.
    const std::string head = "RIFF" + le32(0) + "WAVE" + "fmt " + le32(40) + le16(0xFFFE) + le16(2) + le32(48000)
        + le32(48000 * 4) + le16(4) + le16(16) + le16(22) + le16(16) + le32(3) + le16(1) + le16(0) + le32(0x00100000)
        + le32(0xAA000080) + le32(0x719B3800) + "LIST" + le32(3) + std::string("abc\0", 4);
    std::ofstream(path("ext.wav"), std::ios::binary)
        << head + "data" + le32(8) + le16(100) + le16(uint16_t(-100)) + le16(4) + le16(uint16_t(-4));
    RunResult r = run("--effect bypass " + path("ext.wav") + " " + path("out.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    PcmAudio out = read("out.wav");
    EXPECT_EQ(out.sampleRate, 48000);
    EXPECT_EQ(out.samples, (std::vector<int16_t>{25, -25, 1, -1}));

    // A data chunk stating no bytes holds no sound, whatever chunk follows it.
    std::ofstream(path("empty.wav"), std::ios::binary) << head + "data" + le32(0) + "LIST" + le32(8) + "INFO" + "abcd";
    r = run("--effect bypass " + path("empty.wav") + " " + path("out.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(read("out.wav").samples.empty()) << "the chunk after the data was read as sound";
}

TEST_F(QbsRender, OtherFormatsAreDecodedAsTheEngineDecodesThem)
{
    // Lossless: a mono FLAC of the same samples renders exactly as the WAV does, whose
    // reader spreads mono over both channels itself; the decoder helper must ask for stereo.
    write("in.wav", makeSignal(30000, 1));
    ASSERT_TRUE(ffmpegMake("-i " + path("in.wav"), "-sample_fmt s16", path("in.flac")));
    ASSERT_EQ(run("--effect eq --preset 4 " + path("in.wav") + " " + path("from-wav.wav")).status, 0);
    RunResult r = run("--effect eq --preset 4 " + path("in.flac") + " " + path("from-flac.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("from-flac.wav").samples, read("from-wav.wav").samples);
}
