#include "PulseDaemon.h"

#include "../audio/PulseDaemon.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// The process start and end are those of the audio tests' daemon.
pid_t spawn(const std::vector<std::string>& args, const fs::path& stdoutPath)
{
    return pulse_test::Spawn(args, stdoutPath.empty() ? nullptr : stdoutPath.c_str());
}

} // namespace

PulseDaemon::PulseDaemon(const std::vector<std::string>& modules)
{
    if (std::system("command -v pulseaudio >/dev/null && command -v parec >/dev/null && command -v pactl >/dev/null")
        != 0)
        return;
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "PULSE_SERVER"})
        if (const char* value = getenv(name))
            mSaved.emplace_back(name, value);
    mDir = fs::temp_directory_path() / ("session-pulse-" + std::to_string(getpid()));
    fs::remove_all(mDir);
    fs::create_directories(mDir / "home");
    fs::create_directories(mDir / "run");
    fs::permissions(mDir / "run", fs::perms::owner_all, fs::perm_options::replace);
    setenv("HOME", (mDir / "home").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (mDir / "run").c_str(), 1);
    const fs::path socket = mDir / "run" / "pulse" / "native";
    setenv("PULSE_SERVER", ("unix:" + socket.string()).c_str(), 1);

    std::vector<std::string> args = {"pulseaudio", "--daemonize=no", "--system=false", "--exit-idle-time=-1", "-n",
                                     "--load=module-native-protocol-unix auth-anonymous=1"};
    for (const std::string& m : modules)
        args.push_back("--load=" + m);
    mDaemon = spawn(args, {});
    for (int i = 0; i < 500 && !fs::exists(socket); ++i)
        std::this_thread::sleep_for(10ms);
    if (!fs::exists(socket) || run({"pactl", "info"}) != 0) {
        end(mDaemon, SIGKILL);
        mDaemon = -1;
    }
}

PulseDaemon::~PulseDaemon()
{
    for (pid_t helper : mHelpers)
        end(helper, SIGKILL);
    end(mDaemon, SIGTERM);
    unsetenv("PULSE_SERVER");
    for (const auto& [name, value] : mSaved)
        setenv(name.c_str(), value.c_str(), 1);
    if (!mDir.empty())
        fs::remove_all(mDir);
}

int PulseDaemon::run(const std::vector<std::string>& args, std::string* output)
{
    const fs::path outputPath = output ? mDir / "output.txt" : fs::path();
    pid_t pid = spawn(args, outputPath);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    if (output) {
        std::ifstream file(outputPath);
        output->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

pid_t PulseDaemon::start(const std::vector<std::string>& args, const fs::path& stdoutPath)
{
    pid_t pid = spawn(args, stdoutPath);
    mHelpers.push_back(pid);
    return pid;
}

void PulseDaemon::end(pid_t pid, int signal)
{
    pulse_test::End(pid, signal);
}
