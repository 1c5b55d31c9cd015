#include "platform/media/CoverThumbnail.h"

#include "platform/foundation/SafeFile.h"

#include <QFile>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

class CoverThumbnail::File {
public:
    explicit File(int descriptor) : fd(descriptor) {}
    explicit File(QByteArray held) : bytes(std::move(held)) {}
    ~File()
    {
        if (fd >= 0)
            ::close(fd);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    const int fd = -1;
    const QByteArray bytes;  // without a descriptor: the thumbnail itself
};

CoverThumbnail::CoverThumbnail(QByteArray jpeg)
    : m_file(jpeg.isEmpty() ? nullptr : std::make_shared<const File>(std::move(jpeg))),
      m_length(m_file ? m_file->bytes.size() : 0)
{
}

CoverThumbnail::CoverThumbnail(std::shared_ptr<const File> file, qint64 offset, qint64 length)
    : m_file(length > 0 ? std::move(file) : nullptr), m_offset(offset), m_length(m_file ? length : 0)
{
}

std::shared_ptr<const CoverThumbnail::File> CoverThumbnail::openFile(const QString& path)
{
    const int fd = openRegularFile(QFile::encodeName(path).constData());
    if (fd < 0)
        return nullptr;
    return std::make_shared<const File>(fd);
}

int CoverThumbnail::descriptor(const File& file) { return file.fd; }

qint64 CoverThumbnail::fileSize(const File& file)
{
    struct stat status {};
    return ::fstat(file.fd, &status) == 0 ? qint64(status.st_size) : -1;
}

QByteArray CoverThumbnail::bytes() const
{
    if (!m_file)
        return {};
    if (m_file->fd < 0)
        return m_file->bytes;
    // pread leaves the descriptor's position alone, so readers on several threads
    // never disturb each other.
    QByteArray data(m_length, Qt::Uninitialized);
    qint64 done = 0;
    while (done < m_length) {
        const ssize_t got = ::pread(m_file->fd, data.data() + done, size_t(m_length - done), off_t(m_offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return {};
        done += got;
    }
    return data;
}

bool CoverThumbnail::operator==(const CoverThumbnail& other) const
{
    if (m_length != other.m_length)
        return false;
    if (m_file && m_file == other.m_file && m_offset == other.m_offset)
        return true;
    return m_length == 0 || bytes() == other.bytes();
}
