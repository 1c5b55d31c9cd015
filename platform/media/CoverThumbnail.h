#pragma once
// A song's cover made small (JPEG): either the bytes themselves (a song the scan has just
// read) or the place where they lie in the scan cache file. A cache file is kept open by
// every thumbnail that points into it, so a later scan that renames a new cache over it
// does not change what these thumbnails read. A library of thousands of covered songs
// thus keeps none of their covers in memory; a small cover is read when it is asked for.
// Copies are cheap, and bytes() may be called on any thread.

#include <QByteArray>
#include <QString>

#include <memory>

class CoverThumbnail {
public:
    class File;  // an open cache file, shared by the thumbnails that lie in it

    CoverThumbnail() = default;
    explicit CoverThumbnail(QByteArray jpeg);
    CoverThumbnail(std::shared_ptr<const File> file, qint64 offset, qint64 length);

    // The cache file at `path`, opened for reading; null when it cannot be opened.
    static std::shared_ptr<const File> openFile(const QString& path);
    // The descriptor of an open file (for reading the rest of it the usual way).
    static int descriptor(const File& file);
    // The size of the open file, -1 when unknown.
    static qint64 fileSize(const File& file);

    bool isEmpty() const { return m_length == 0; }
    // The JPEG bytes; empty when there are none or the file can no longer be read.
    QByteArray bytes() const;

    // Equal bytes; a place in a file is compared without reading it where it can be.
    bool operator==(const CoverThumbnail& other) const;

private:
    std::shared_ptr<const File> m_file;  // the cache file, or a "file" of the bytes in memory
    qint64 m_offset = 0;
    qint64 m_length = 0;
};
