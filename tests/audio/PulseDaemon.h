#pragma once
// A private PulseAudio daemon for one test: its own home and runtime directory (so that
// test runs in parallel never share a daemon), one null sink "speaker" with norewinds=1
// and any further modules, client tools run against it, and the recorder that takes what
// reached a sink from its monitor. The daemon and its clients end with the test process.

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pulse_test {

inline pid_t Spawn(const std::vector<std::string>& args, const char* stdoutPath)
{
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // ends with the test, whatever becomes of it
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
inline void End(pid_t pid, int signal)
{
    if (pid <= 0 || waitpid(pid, nullptr, WNOHANG) != 0)
        return;  // none, or already gone
    kill(pid, signal);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// A 16-bit stereo signal whose every frame a recording tells apart from its neighbours and
// from silence: left counts 1..30000 and around again, right is its negative.
inline int16_t CountingSample(int64_t frame, int channel)
{
    const int16_t value = int16_t(1 + frame % 30000);
    return channel ? int16_t(-value) : value;
}

class PulseDaemon {
public:
    // Empty when the daemon is running; otherwise why not (the test then skips). `modules`
    // are further module lines as given to --load ("module-null-sink sink_name=x ...").
    std::string start(const std::string& name, const std::vector<std::string>& modules = {})
    {
        if (system("command -v pulseaudio >/dev/null && command -v parec >/dev/null && command -v pactl >/dev/null")
            != 0)
            return "pulseaudio, parec or pactl not installed";
        namespace fs = std::filesystem;
        for (const char* variable : {"HOME", "XDG_RUNTIME_DIR", "PULSE_SERVER"})
            if (const char* value = getenv(variable))
                mSaved.emplace_back(variable, value);
        dir = fs::temp_directory_path() / (name + "-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "home");
        fs::create_directories(dir / "run");
        fs::permissions(dir / "run", fs::perms::owner_all, fs::perm_options::replace);
        setenv("HOME", (dir / "home").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (dir / "run").c_str(), 1);
        const fs::path socket = dir / "run" / "pulse" / "native";
        setenv("PULSE_SERVER", ("unix:" + socket.string()).c_str(), 1);
        std::vector<std::string> args = {"pulseaudio", "--daemonize=no", "--system=false", "--exit-idle-time=-1", "-n",
                                         "--load=module-null-sink sink_name=speaker norewinds=1",
                                         "--load=module-native-protocol-unix auth-anonymous=1"};
        for (const std::string& m : modules)
            args.push_back("--load=" + m);
        daemon = Spawn(args, nullptr);
        for (int i = 0; i < 500 && !fs::exists(socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return fs::exists(socket) && run({"pactl", "info"}) == 0 ? std::string() : "the audio server did not start";
    }

    // Runs a client tool to its end; answers its exit status, and its standard output in
    // *output when asked.
    int run(const std::vector<std::string>& args, std::string* output = nullptr)
    {
        const std::filesystem::path outputPath = dir / "output.txt";
        const pid_t pid = Spawn(args, output ? outputPath.c_str() : nullptr);
        int status = 0;
        if (waitpid(pid, &status, 0) != pid)
            return -1;
        if (output) {
            std::ifstream file(outputPath);
            output->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Starts a client tool in the background; it is ended with the daemon at the latest.
    pid_t spawn(const std::vector<std::string>& args)
    {
        mHelpers.push_back(Spawn(args, nullptr));
        return mHelpers.back();
    }

    void stop()
    {
        for (pid_t helper : mHelpers)
            End(helper, SIGKILL);
        mHelpers.clear();
        End(recorder, SIGINT);
        recorder = -1;
        End(daemon, SIGTERM);
        daemon = -1;
        unsetenv("PULSE_SERVER");
        unsetenv("XDG_RUNTIME_DIR");
        for (const auto& [name, value] : mSaved)
            setenv(name.c_str(), value.c_str(), 1);
        mSaved.clear();
        if (!dir.empty())
            std::filesystem::remove_all(dir);
        dir.clear();
    }

    ~PulseDaemon() { stop(); }

    // Starts recording the sink's monitor into `file` (raw 16-bit stereo at 44100 Hz).
    void record(const std::filesystem::path& file, const std::string& sink = "speaker")
    {
        recorder = Spawn({"parec", "-d", sink + ".monitor", "--latency-msec=20", "--format=s16le", "--rate=44100",
                          "--channels=2", "--raw"},
                         file.c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    void stopRecording()
    {
        End(recorder, SIGINT);
        recorder = -1;
    }
    static std::vector<int16_t> Recorded(const std::filesystem::path& file)
    {
        std::vector<int16_t> samples(std::filesystem::file_size(file) / 2);
        std::ifstream(file, std::ios::binary)
            .read(reinterpret_cast<char*>(samples.data()), std::streamsize(samples.size() * 2));
        return samples;
    }

    std::filesystem::path dir;
    pid_t daemon = -1;
    pid_t recorder = -1;

private:
    std::vector<pid_t> mHelpers;
    std::vector<std::pair<std::string, std::string>> mSaved;
};

} // namespace pulse_test
