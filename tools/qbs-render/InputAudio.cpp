#include "tools/qbs-render/InputAudio.h"

#include "tools/qbs-render/FdIo.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The helper lives next to the tool's own executable.
std::string decoderPath()
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (ec ? std::filesystem::path("qbs-render-decode") : self.parent_path() / "qbs-render-decode").string();
}

} // namespace

InputAudio::~InputAudio()
{
    if (mDecoder > 0) {
        ::kill(mDecoder, SIGTERM);
        std::string ignored;
        finishDecoder(ignored);
    }
}

bool InputAudio::open(const std::string& path, std::string& error)
{
    mPath = path;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "cannot open input file '" + path + "'";
        return false;
    }
    mWavResult = mWav.open(path, mWavError);
    if (mWavResult == WavRead::Ok) {
        mRate = mWav.sampleRate();
        return true;
    }
    if (mWavResult == WavRead::Damaged) {
        error = mWavError;
        return false;
    }
    mRate = 44100;
    mUseDecoder = true;
    return startDecoder(error);
}

bool InputAudio::startDecoder(std::string& error)
{
    int pcm[2], errors[2];
    if (::pipe2(pcm, O_CLOEXEC) != 0)
        return error = "cannot start the decoder", false;
    if (::pipe2(errors, O_CLOEXEC) != 0) {
        ::close(pcm[0]), ::close(pcm[1]);
        return error = "cannot start the decoder", false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pcm[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    const std::string helper = decoderPath();
    char* const argv[] = {const_cast<char*>(helper.c_str()), const_cast<char*>(mPath.c_str()), nullptr};
    const int spawned = posix_spawn(&mDecoder, helper.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pcm[1]), ::close(errors[1]);
    mPcm = pcm[0], mErrors = errors[0];
    if (spawned != 0) {
        mDecoder = -1;
        error = "cannot start the decoder '" + helper + "'";
        return false;
    }
    return true;
}

// Waits for the helper; answers whether it decoded the whole input, else sets `error` to
// its line.
bool InputAudio::finishDecoder(std::string& error)
{
    char text[512];
    const long n = readFully(mErrors, text, sizeof text - 1);
    ::close(mPcm), ::close(mErrors);
    mPcm = mErrors = -1;
    int status = 0;
    while (::waitpid(mDecoder, &status, 0) < 0 && errno == EINTR) {
    }
    mDecoder = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    std::string line(text, size_t(n > 0 ? n : 0));
    if (const size_t end = line.find('\n'); end != std::string::npos)
        line.resize(end);
    error = line.empty() ? "cannot decode input '" + mPath + "'" : line;
    // A file that claims to be a WAV is best explained by what is wrong with it as a WAV.
    if (mWavResult == WavRead::OtherSampleFormat && !mDelivered)
        error = mWavError;
    return false;
}

long InputAudio::read(int16_t* stereo, long frames, std::string& error)
{
    const long n = mUseDecoder ? readDecoded(stereo, frames, error) : readWav(stereo, frames, error);
    mDelivered |= n > 0;
    return n;
}

long InputAudio::readWav(int16_t* stereo, long frames, std::string& error)
{
    const long n = mWav.read(stereo, frames);
    if (n < 0)
        error = "cannot read input file '" + mPath + "'";
    // Mono: spread the samples read into the first half over both channels, from the back.
    if (n > 0 && mWav.channels() == 1)
        for (long i = n - 1; i >= 0; --i)
            stereo[2 * i] = stereo[2 * i + 1] = stereo[i];
    return n;
}

long InputAudio::readDecoded(int16_t* stereo, long frames, std::string& error)
{
    if (mDecoder < 0)
        return 0; // finished before
    const long frameBytes = 2 * long(sizeof(int16_t));
    const long bytes = readFully(mPcm, stereo, size_t(frames * frameBytes));
    if (bytes == frames * frameBytes)
        return frames;
    // The end of the decoded stream: only a helper that finished cleanly has delivered all.
    if (bytes < 0 || bytes % frameBytes != 0 || !finishDecoder(error)) {
        if (error.empty())
            error = "cannot decode input '" + mPath + "'";
        return -1;
    }
    return bytes / frameBytes;
}
