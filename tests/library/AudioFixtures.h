#pragma once
// Fixtures of the library tests: a private home directory for each test, and short
// audio files made with ffmpeg and tagged with TagLib.

#include <QColor>
#include <QString>
#include <QTemporaryDir>

#include <optional>

// Points HOME and the XDG directories at a fresh temporary directory; the next one made
// takes over.
class PrivateHome {
public:
    PrivateHome();
    QString home() const { return m_dir.path(); }
    QString music() const { return m_dir.path() + QStringLiteral("/Music"); }
    QString cacheFile() const { return m_dir.path() + QStringLiteral("/scan-cache.bin"); }

private:
    QTemporaryDir m_dir;
};

// A 0.2 s tone in the format of the extension ("mp3", "m4a", "flac", "ogg", "wav") at
// `path`; ffmpeg runs once per format and process, later files are copies.
void makeAudioFile(const QString& path, const QString& extension);

struct Tags {
    std::optional<QString> title, artist, album, genre, composer, lyrics;
    QString track;  // "2/12"; empty: none
};

// Writes the tags with TagLib; absent values are not written.
bool writeTags(const QString& path, const Tags& tags);
// Embeds a one-colour PNG front cover in a FLAC file.
bool embedFlacCover(const QString& path, QColor colour);
bool writeTextFile(const QString& path, const QByteArray& content);
