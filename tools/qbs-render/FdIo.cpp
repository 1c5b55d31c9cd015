#include "tools/qbs-render/FdIo.h"

#include <cerrno>
#include <unistd.h>

long readFully(int fd, void* data, size_t bytes)
{
    size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::read(fd, static_cast<char*>(data) + done, bytes - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += size_t(n);
    }
    return long(done);
}

bool writeFully(int fd, const void* data, size_t bytes)
{
    size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::write(fd, static_cast<const char*>(data) + done, bytes - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}
