#pragma once
// Test fixtures for the device library: a private home directory, short audio files made
// with ffmpeg and tagged with TagLib, and running as an ordinary user.

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

#include <unistd.h>

// Points HOME and the XDG directories at a fresh temporary directory, with the music
// directory at <home>/Music (XDG_MUSIC_DIR). The next TemporaryHome takes over.
class TemporaryHome {
public:
    TemporaryHome();
    QString home() const { return m_dir.path(); }
    QString music() const { return m_dir.path() + QStringLiteral("/Music"); }
    QString cacheFile() const { return m_dir.path() + QStringLiteral("/scan-cache.bin"); }

private:
    QTemporaryDir m_dir;
};

// A 0.2 s sine tone in the format given by the extension ("mp3", "m4a", "flac", "wav",
// "ogg"), copied to `path` (made once per format and process with ffmpeg).
void makeAudioFile(const QString& path, const QString& extension);

struct TagValues {
    std::optional<QString> title, artist, album, genre, composer, lyrics;
    QString track;  // "3/12", empty: none
    QString disc;   // "1/2", empty: none
    QString trackTotal = {}, discTotal = {};  // written as keys of their own, empty: none
};

// Writes the tags through TagLib; an absent value writes nothing, an empty one writes an
// empty text. Returns false when TagLib could not save.
bool writeTags(const QString& path, const TagValues& tags);

// Embeds a PNG cover of one colour (MP3, M4A and FLAC files).
bool embedCover(const QString& path, QColor colour, int width = 64, int height = 64);

void writeTextFile(const QString& path, const QByteArray& content);
// Moves the file's modification time, as an editor saving it a few seconds later would.
void touchLater(const QString& path, int seconds);

// Runs `work` as an ordinary user when the tests run as root (whom no file mode stops),
// so that what has no rights really cannot be read or written.
template <typename Work>
void asOrdinaryUser(Work work)
{
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    work();
    if (root) {
        ASSERT_EQ(::seteuid(0), 0);
    }
}
