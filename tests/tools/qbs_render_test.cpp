// The offline effects tool as its users drive it: through its command line and files.

#include "qbs/QBS.h"
#include "tools/qbs-render/EffectRunner.h"
#include "tools/qbs-render/WavFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct RunResult {
    int status;
    std::string err;
};

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

    // A two-tone test signal with a full-scale burst, `channels` wide.
    PcmAudio makeSignal(int frames, int channels, int rate = 44100) const
    {
        PcmAudio a;
        a.sampleRate = rate;
        a.channels = channels;
        for (int i = 0; i < frames; ++i) {
            for (int c = 0; c < channels; ++c) {
                double v = 12000 * std::sin(2 * M_PI * 220 * i / rate + c) + 9000 * std::sin(2 * M_PI * 3100 * i / rate);
                if (i % 5000 < 40)
                    v = (i % 2) ? 32767 : -32768;
                a.samples.push_back(int16_t(std::lround(v)));
            }
        }
        return a;
    }

    void write(const std::string& name, const PcmAudio& a) const
    {
        std::string error;
        ASSERT_TRUE(writeWav(path(name), a, error)) << error;
    }

    PcmAudio read(const std::string& name) const
    {
        PcmAudio a;
        std::string error;
        EXPECT_EQ(readWav(path(name), a, error), WavRead::Ok) << error;
        return a;
    }

    fs::path dir;
};

// The same signal through the library directly, cut into the same blocks.
std::vector<int16_t> direct(RenderOptions o, const std::vector<int16_t>& stereo)
{
    prepareEffect(o);
    return processBlocks(o, stereo);
}

} // namespace

TEST_F(QbsRender, EveryEffectMatchesTheLibraryBlockForBlock)
{
    PcmAudio in = makeSignal(20000, 2);
    write("in.wav", in);
    struct Case {
        const char* args;
        RenderOptions options;
    };
    auto opts = [](RenderEffect e, auto&& tweak) {
        RenderOptions o;
        o.effect = e;
        tweak(o);
        return o;
    };
    const Case cases[] = {
        {"--effect bypass", opts(RenderEffect::Bypass, [](RenderOptions&) {})},
        {"--effect eq --preset 1 --bands 24,12,0,12,18,12,3 --block 333",
         opts(RenderEffect::Equalizer, [](RenderOptions& o) { o.preset = 1; o.bands = std::array<int, 7>{24, 12, 0, 12, 18, 12, 3}; o.blockFrames = 333; })},
        {"--effect m3d --surround 7 --bass 10 --shift 1", opts(RenderEffect::Stereo3D, [](RenderOptions& o) { o.surround = 7; o.bass = 10; o.shift = 1; })},
        {"--effect stage --stage-preset 2 --rate 48000", opts(RenderEffect::Stage, [](RenderOptions& o) { o.stagePreset = 2; o.rate = 48000; })},
        {"--effect ptc --speed 150 --pitch=-2 --block 512", opts(RenderEffect::SpeedPitch, [](RenderOptions& o) { o.speed = 150; o.pitch = -2; o.blockFrames = 512; })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        RunResult r = run(std::string(c.args) + " " + path("in.wav") + " " + path("out.wav"));
        ASSERT_EQ(r.status, 0) << r.err;
        PcmAudio out = read("out.wav");
        EXPECT_EQ(out.channels, 2);
        EXPECT_EQ(out.sampleRate, 44100);
        ASSERT_EQ(out.frames(), in.frames());
        EXPECT_EQ(out.samples, direct(c.options, in.samples));
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

TEST_F(QbsRender, SpeedPitchFramesNotYetDeliveredAreSilence)
{
    PcmAudio in = makeSignal(3000, 2);
    write("in.wav", in);
    RunResult r = run("--effect ptc " + path("in.wav") + " " + path("out.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    PcmAudio out = read("out.wav");
    ASSERT_EQ(out.frames(), 3000u);
    // Three 1024-frame blocks are far less than the block needs before it delivers.
    for (int16_t s : out.samples)
        ASSERT_EQ(s, 0);
}

TEST_F(QbsRender, BadInputGivesOneErrorLineStatusTwoAndNoOutput)
{
    write("in.wav", makeSignal(100, 2));
    {
        std::ofstream text(path("text.wav"));
        text << "this is not audio";
    }
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
        "--effect eq " + dir.string() + " " + out,
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
    std::vector<uint8_t> b;
    auto s = [&](const char* t) { for (int i = 0; i < 4; ++i) b.push_back(uint8_t(t[i])); };
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i))); };
    auto u16 = [&](uint16_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); };
    s("RIFF"); u32(0); s("WAVE");
    s("fmt "); u32(40); u16(0xFFFE); u16(2); u32(48000); u32(48000 * 4); u16(4); u16(16);
    u16(22); u16(16); u32(3); u16(1); u16(0); u32(0x00100000); u32(0xAA000080); u32(0x719B3800);
    s("LIST"); u32(3); b.push_back('a'); b.push_back('b'); b.push_back('c'); b.push_back(0);
    s("data"); u32(8); u16(100); u16(uint16_t(-100)); u16(4); u16(uint16_t(-4));
    {
        std::ofstream f(path("ext.wav"), std::ios::binary);
        f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
    RunResult r = run("--effect bypass " + path("ext.wav") + " " + path("out.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    PcmAudio out = read("out.wav");
    EXPECT_EQ(out.sampleRate, 48000);
    EXPECT_EQ(out.samples, (std::vector<int16_t>{25, -25, 1, -1}));
}

TEST_F(QbsRender, OtherFormatsAreDecodedAsTheEngineDecodesThem)
{
    PcmAudio in = makeSignal(30000, 2);
    write("in.wav", in);
    // Lossless: a FLAC of the same samples renders exactly as the WAV does.
    ASSERT_EQ(std::system(("ffmpeg -v error -y -i " + path("in.wav") + " -sample_fmt s16 " + path("in.flac")).c_str()), 0);
    ASSERT_EQ(run("--effect eq --preset 4 " + path("in.wav") + " " + path("from-wav.wav")).status, 0);
    RunResult r = run("--effect eq --preset 4 " + path("in.flac") + " " + path("from-flac.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("from-flac.wav").samples, read("from-wav.wav").samples);

    // Another rate and one channel: 44100 Hz stereo out, as long as the track plays.
    PcmAudio mono = makeSignal(48000, 1, 48000);
    write("mono48k.wav", mono);
    ASSERT_EQ(std::system(("ffmpeg -v error -y -i " + path("mono48k.wav") + " -c:a pcm_s24le " + path("mono48k-24bit.wav")).c_str()), 0);
    r = run("--effect bypass " + path("mono48k-24bit.wav") + " " + path("out.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    PcmAudio out = read("out.wav");
    EXPECT_EQ(out.sampleRate, 44100);
    EXPECT_NEAR(double(out.frames()), 44100.0, 1.0);
    for (size_t i = 0; i < out.frames(); ++i)
        ASSERT_EQ(out.samples[2 * i], out.samples[2 * i + 1]) << "frame " << i;
}
