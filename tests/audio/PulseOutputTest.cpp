// Plays through a real audio server that the test starts itself, and records what reached
// its sink.

#include "AudioTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

pid_t Spawn(const std::vector<std::string>& args, const char* stdoutPath)
{
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(stdoutPath ? stdoutPath : "/dev/null", O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int null = open("/dev/null", O_WRONLY);
        dup2(out, 1);
        dup2(null, 2);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// Ends a child: a polite signal, then a hard one if it does not go within two seconds.
void End(pid_t pid, int signal)
{
    if (pid <= 0)
        return;
    kill(pid, signal);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

class PulseOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        AudioTestClearFaults();
        AudioOutputSetCapture(nullptr);
        AudioOutputForceNull(false);
        if (system("command -v pulseaudio >/dev/null && command -v parec >/dev/null") != 0)
            GTEST_SKIP() << "pulseaudio or parec not installed";
        for (const char* name : {"HOME", "XDG_RUNTIME_DIR"})
            if (const char* value = getenv(name))
                saved.emplace_back(name, value);
        dir = fs::temp_directory_path() / ("audio-pulse-" + std::to_string(getpid()));
        fs::create_directories(dir / "home");
        fs::create_directories(dir / "run");
        fs::permissions(dir / "run", fs::perms::owner_all, fs::perm_options::replace);
        setenv("HOME", (dir / "home").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (dir / "run").c_str(), 1);
        socket = dir / "run" / "pulse" / "native";
        setenv("PULSE_SERVER", ("unix:" + socket.string()).c_str(), 1);
        daemon = Spawn({"pulseaudio", "--daemonize=no", "--system=false", "--exit-idle-time=-1", "-n",
                        "--load=module-null-sink sink_name=speaker norewinds=1",
                        "--load=module-native-protocol-unix auth-anonymous=1"},
                       nullptr);
        for (int i = 0; i < 500 && !fs::exists(socket); ++i)
            std::this_thread::sleep_for(10ms);
        if (!fs::exists(socket))
            GTEST_SKIP() << "the audio server did not start";
    }

    void TearDown() override
    {
        End(daemon, SIGTERM);
        AudioOutputForceNull(true);
        unsetenv("PULSE_SERVER");
        unsetenv("XDG_RUNTIME_DIR");
        for (const auto& [name, value] : saved)
            setenv(name.c_str(), value.c_str(), 1);
        if (!dir.empty())
            fs::remove_all(dir);
    }

    fs::path dir, socket;
    pid_t daemon = -1;
    std::vector<std::pair<std::string, std::string>> saved;
};

} // namespace

TEST_F(PulseOutput, SamplesReachTheSinkBitForBit)
{
    // A counting signal makes every frame's place in the stream recognisable.
    TestSource source;
    source.signal = [](int64_t i, int ch) {
        int16_t v = int16_t(1 + i % 30000);
        return ch ? int16_t(-v) : v;
    };
    TestGraph g;
    ASSERT_EQ(g.build(&source), noErr);

    fs::path recording = dir / "speaker.raw";
    pid_t recorder = Spawn({"parec", "-d", "speaker.monitor", "--latency-msec=20", "--format=s16le", "--rate=44100",
                            "--channels=2", "--raw"},
                           recording.c_str());
    std::this_thread::sleep_for(300ms);

    auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(AUGraphStart(g.graph), noErr);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    ASSERT_STREQ(AudioOutputActiveName(g.graph), "pulse");
    std::this_thread::sleep_for(800ms);
    ASSERT_EQ(AUGraphStop(g.graph), noErr);
    EXPECT_FALSE(g.running());
    int64_t played = source.framesPulled.load();
    std::this_thread::sleep_for(200ms);
    End(recorder, SIGINT);

    // Played in real time: 0.8 s plus about the buffering.
    EXPECT_GT(played, 44100 * 6 / 10);
    EXPECT_LT(played, 44100 * 13 / 10);

    std::vector<int16_t> samples(fs::file_size(recording) / 2);
    std::ifstream(recording, std::ios::binary)
        .read(reinterpret_cast<char*>(samples.data()), std::streamsize(samples.size() * 2));
    size_t first = 0;
    while (first + 1 < samples.size() && samples[first] == 0)
        first += 2;
    ASSERT_LT(first + 2, samples.size()) << "nothing reached the sink";
    int64_t frame = samples[first] - 1;
    size_t matched = 0;
    for (size_t k = first; k + 1 < samples.size(); k += 2) {
        // Silence is the stop, or an underrun on a busy machine; the sound resumes where it
        // left off, so the next frame must still follow on.
        if (samples[k] == 0 && samples[k + 1] == 0)
            continue;
        ASSERT_EQ(samples[k], source.signal(frame, 0)) << "recorded frame " << k / 2;
        ASSERT_EQ(samples[k + 1], source.signal(frame, 1)) << "recorded frame " << k / 2;
        ++matched;
        ++frame;
    }
    EXPECT_GT(matched, 44100u / 2);
}

TEST_F(PulseOutput, StopFromInsideTheCallbackWindsTheStreamDown)
{
    TestSource source;
    source.onCall = [](TestSource& self) {
        if (self.calls.load() == 40)
            AUGraphStop(self.graph);
    };
    TestGraph g;
    ASSERT_EQ(g.build(&source), noErr);
    ASSERT_EQ(AUGraphStart(g.graph), noErr);
    ASSERT_STREQ(AudioOutputActiveName(g.graph), "pulse");
    for (int i = 0; i < 500 && g.running(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(g.running());
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(source.calls.load(), 40);
    // And it plays again.
    source.onCall = nullptr;
    ASSERT_EQ(AUGraphStart(g.graph), noErr);
    for (int i = 0; i < 300 && source.calls.load() < 45; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_GE(source.calls.load(), 45);
    EXPECT_EQ(AUGraphStop(g.graph), noErr);
}

TEST_F(PulseOutput, PlaybackGoesOnWhenTheServerGoesAway)
{
    TestSource source;
    TestGraph g;
    ASSERT_EQ(g.build(&source), noErr);
    ASSERT_EQ(AUGraphStart(g.graph), noErr);
    ASSERT_STREQ(AudioOutputActiveName(g.graph), "pulse");
    std::this_thread::sleep_for(100ms);
    End(daemon, SIGKILL);
    daemon = -1;
    std::this_thread::sleep_for(100ms);
    int64_t before = source.framesPulled.load();
    std::this_thread::sleep_for(300ms);
    // The null output carries on in real time.
    EXPECT_GT(source.framesPulled.load() - before, 44100 * 2 / 10);
    EXPECT_TRUE(g.running());
    EXPECT_EQ(AUGraphStop(g.graph), noErr);
}
