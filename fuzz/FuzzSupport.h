#pragma once
// What the fuzz targets share: a broken property aborts (libFuzzer then keeps the input),
// and the input is handed over as a file, either named (where the name's extension
// matters) or anonymous in memory.

#include "platform/audiofile/FFmpegInput.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#define FUZZ_CHECK(condition)                                                                   \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (0)

namespace fuzz {

inline bool writeAll(int fd, const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put <= 0)
            return false;
        data += put;
        size -= size_t(put);
    }
    return true;
}

// A private folder for this process's files, removed at exit.
inline const std::string& privateFolder()
{
    static const std::string folder = [] {
        std::string pattern = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/tavoro-fuzz-XXXXXX");
        if (!::mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    static const bool cleanup = [] {
        std::atexit([] {
            const std::string command = "rm -rf '" + privateFolder() + "'";
            if (std::system(command.c_str()) != 0) {}
        });
        return true;
    }();
    (void)cleanup;
    return folder;
}

// The path of a file named `name` in the private folder, holding `data`.
inline std::string namedFile(const std::string& name, const uint8_t* data, size_t size)
{
    const std::string path = privateFolder() + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || !writeAll(fd, data, size))
        std::abort();
    ::close(fd);
    return path;
}

// An in-memory file holding `data`, reachable by path while it is open.
class MemoryFile {
public:
    MemoryFile(const uint8_t* data, size_t size)
    {
        m_fd = ::memfd_create("fuzz-input", MFD_CLOEXEC);
        if (m_fd < 0 || !writeAll(m_fd, data, size) || ::lseek(m_fd, 0, SEEK_SET) != 0)
            std::abort();
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~MemoryFile() { ::close(m_fd); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    const std::string& path() const { return m_path; }

private:
    int m_fd = -1;
    std::string m_path;
};

// FFmpeg says nothing, and any open it attempts beside the file ends the run.
inline void quietFFmpegThatMayOpenNothingElse()
{
    FFmpegInput::setRefusedOpenObserver([](const char* url) {
        std::fprintf(stderr, "a demuxer tried to open '%s'\n", url);
        std::abort();
    });
    av_log_set_level(AV_LOG_QUIET);
}

} // namespace fuzz
