#pragma once
// A PulseAudio daemon of the test's own, in a private runtime directory, with null sinks
// standing for the output devices. The process environment points at it (PULSE_SERVER,
// HOME, XDG_RUNTIME_DIR) while it lives; destroying it stops the daemon and its helpers and
// puts the environment back. The daemon also ends if the test process dies.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

class PulseDaemon {
public:
    // `modules`: module lines as given to --load ("module-null-sink sink_name=x ...").
    explicit PulseDaemon(const std::vector<std::string>& modules);
    ~PulseDaemon();
    PulseDaemon(const PulseDaemon&) = delete;
    PulseDaemon& operator=(const PulseDaemon&) = delete;

    bool running() const { return mDaemon > 0; }
    const std::filesystem::path& dir() const { return mDir; }

    // Runs a client tool against the daemon; answers its exit status, and what it wrote
    // on its standard output in *output when asked.
    int run(const std::vector<std::string>& args, std::string* output = nullptr);
    // Starts a client tool in the background, its standard output into `stdoutPath`
    // (nothing when empty); answers its process id.
    pid_t start(const std::vector<std::string>& args, const std::filesystem::path& stdoutPath = {});
    // Ends a process started here (a polite signal, then a hard one).
    static void end(pid_t pid, int signal);

private:
    std::filesystem::path mDir;
    pid_t mDaemon = -1;
    std::vector<pid_t> mHelpers;
    std::vector<std::pair<std::string, std::string>> mSaved;
};
