#include "platform/media/MediaFile.h"

#include "platform/foundation/SafeFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {
std::atomic<uint64_t> g_openCount{0};
}

uint64_t MediaFile::openCount()
{
    return g_openCount.load(std::memory_order_relaxed);
}

MediaFile::MediaFile(const QByteArray& path) : m_path(path)
{
    g_openCount.fetch_add(1, std::memory_order_relaxed);
    // Only a regular file, opened without waiting: a FIFO or device put in a song's place
    // must not block the reader.
    m_fd = openRegularFile(m_path.constData());
    struct stat status {};
    if (m_fd >= 0 && ::fstat(m_fd, &status) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_size = m_fd >= 0 ? int64_t(status.st_size) : 0;
}

MediaFile::~MediaFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int64_t MediaFile::readAt(int64_t offset, void* buffer, int64_t length) const
{
    if (m_fd < 0 || offset < 0 || length < 0)
        return -1;
    char* out = static_cast<char*>(buffer);
    if (length >= kWindowSize)
        return readDirect(offset, out, length);
    const bool inWindow = offset >= m_windowStart && offset + length <= m_windowStart + m_windowLength;
    if (!inWindow) {
        if (!m_window)
            m_window = std::make_unique<char[]>(size_t(kWindowSize));
        const int64_t got = readDirect(offset, m_window.get(), kWindowSize);
        if (got < 0)
            return -1;
        m_windowStart = offset;
        m_windowLength = got;
    }
    const int64_t available = std::min(length, m_windowStart + m_windowLength - offset);
    if (available <= 0)
        return 0;
    std::memcpy(out, m_window.get() + (offset - m_windowStart), size_t(available));
    return available;
}

int64_t MediaFile::readDirect(int64_t offset, char* buffer, int64_t length) const
{
    int64_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(m_fd, buffer + done, size_t(length - done), off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return done > 0 ? done : -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

TagLib::ByteVector MediaFileTagStream::readBlock(unsigned long length)
{
    const int64_t available = std::max<int64_t>(0, m_file.size() - m_position);
    const int64_t wanted = std::min<int64_t>(int64_t(length), available);
    if (wanted <= 0)
        return {};
    TagLib::ByteVector block(static_cast<unsigned int>(wanted), '\0');
    const int64_t got = m_file.readAt(m_position, block.data(), wanted);
    if (got <= 0)
        return {};
    block.resize(static_cast<unsigned int>(got));
    m_position += got;
    return block;
}

void MediaFileTagStream::seek(long offset, Position position)
{
    switch (position) {
    case Beginning: m_position = offset; break;
    case Current: m_position += offset; break;
    case End: m_position = m_file.size() + offset; break;
    }
    m_position = std::max<int64_t>(0, m_position);
}
