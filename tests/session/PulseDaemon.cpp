#include "PulseDaemon.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

pid_t spawn(const std::vector<std::string>& args, const fs::path& stdoutPath)
{
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        int out = open(stdoutPath.empty() ? "/dev/null" : stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
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
    if (pid <= 0 || waitpid(pid, nullptr, WNOHANG) != 0)
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
