#include "platform/foundation/SafeFile.h"

#include <cerrno>
#include <cstdlib>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int openRegularFile(const char* path)
{
    // O_NONBLOCK keeps the open of a FIFO from waiting for a writer; O_NOCTTY keeps a
    // terminal from becoming ours.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const int error = S_ISREG(status.st_mode) ? errno : EINVAL;
        ::close(fd);
        errno = error;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

ReplacingFile::ReplacingFile(std::string target) : m_target(std::move(target))
{
    // mkostemp creates with O_CREAT|O_EXCL: an existing name (a planted link) fails
    // instead of being followed.
    m_temporary = m_target + ".XXXXXX";
    m_fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
    if (m_fd < 0)
        m_temporary.clear();
    else
        ::fchmod(m_fd, 0644);
}

ReplacingFile::~ReplacingFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_temporary.c_str());
    }
}

bool ReplacingFile::write(const void* data, size_t length)
{
    const char* bytes = static_cast<const char*>(data);
    while (m_fd >= 0 && length > 0) {
        const ssize_t put = ::write(m_fd, bytes, length);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        bytes += put;
        length -= size_t(put);
    }
    return m_fd >= 0;
}

bool ReplacingFile::commit()
{
    if (m_fd < 0)
        return false;
    const int fd = std::exchange(m_fd, -1);
    bool ok = ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(m_temporary.c_str());
        errno = error;
    }
    return ok;
}

bool replaceFileContents(const std::string& target, const void* data, size_t length)
{
    ReplacingFile file(target);
    return file.write(data, length) && file.commit();
}
