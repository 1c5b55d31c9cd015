#pragma once
// One audio file opened once for a scan's read, shared by FFmpeg (its container probe)
// and TagLib (its tags): positioned reads on one descriptor, with no stdio buffering and
// no seek calls, so the two libraries cost one open between them.

#include <QByteArray>
#include <QString>

#include <taglib/tiostream.h>

#include <cstdint>
#include <memory>

class MediaFile {
public:
    // `path`: the file system's bytes of the path (see LocalFileURL.h).
    explicit MediaFile(const QByteArray& path);
    ~MediaFile();
    MediaFile(const MediaFile&) = delete;
    MediaFile& operator=(const MediaFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    const QByteArray& path() const { return m_path; }
    // How many files have been opened for reading tags, probing or covers since the
    // process started (a restart over an unchanged library should open none).
    static uint64_t openCount();
    int64_t size() const { return m_size; }
    // Up to `length` bytes at `offset`; fewer at the end of the file, -1 on an error.
    // Small reads are served from a window of the file read ahead: the tag readers ask
    // for many few-byte pieces (box and frame headers).
    int64_t readAt(int64_t offset, void* buffer, int64_t length) const;

private:
    int64_t readDirect(int64_t offset, char* buffer, int64_t length) const;

    static constexpr int64_t kWindowSize = 16 * 1024;
    mutable std::unique_ptr<char[]> m_window;
    mutable int64_t m_windowStart = 0;
    mutable int64_t m_windowLength = 0;

    QByteArray m_path;
    int m_fd = -1;
    int64_t m_size = 0;
};

// TagLib's view of a MediaFile: read-only, with its own position.
class MediaFileTagStream : public TagLib::IOStream {
public:
    explicit MediaFileTagStream(const MediaFile& file) : m_file(file) {}

    TagLib::FileName name() const override { return m_file.path().constData(); }
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return m_file.isOpen(); }
    void seek(long offset, Position position) override;
    long tell() const override { return long(m_position); }
    long length() override { return long(m_file.size()); }
    void truncate(long) override {}

private:
    const MediaFile& m_file;
    int64_t m_position = 0;
};
