#include "app/DemoLibrary.h"

#include "platform/foundation/SafeFile.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>

namespace {

struct Format {
    const char* extension;
    QStringList encoder;  // ffmpeg arguments after the input
};

const Format kFormats[] = {
    {"flac", {"-c:a", "flac", "-sample_fmt", "s16"}},
    {"mp3", {"-c:a", "libmp3lame", "-b:a", "160k"}},
    {"m4a", {"-c:a", "aac", "-b:a", "160k"}},
    {"wav", {"-c:a", "pcm_s16le"}},
    {"m4a", {"-c:a", "alac", "-sample_fmt", "s16p"}},
    {"ogg", {"-c:a", "libvorbis", "-q:a", "4"}},
};

const char* const kArtists[] = {"The Lanterns", "Mira Solen", "Quiet Harbour"};
const char* const kGenres[] = {"Pop", "Ambient", "Folk", "Electronic"};
const char* const kTitles[] = {"Morning Light", "Paper Boats", "Slow River", "Glass Garden",
                               "Northern Lines", "Open Window", "Late Bloom", "Harbour Song"};

TagLib::String tagText(const QString& text) { return TagLib::String(text.toStdString(), TagLib::String::UTF8); }

bool run(const QString& program, const QStringList& arguments, QString* error)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        *error = QStringLiteral("%1 could not be started").arg(program);
        return false;
    }
    process.waitForFinished(120000);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QStringLiteral("%1 failed: %2").arg(program, QString::fromLocal8Bit(process.readAllStandardError()));
        return false;
    }
    return true;
}

// A chord progression over a bass line, stereo, written as 16-bit WAV.
bool synthesise(const QString& wav, double seconds, int variant, QString* error)
{
    static const char* const progressions[][3] = {
        {"C3", "E4", "G4"}, {"A2", "C4", "E4"}, {"F2", "A3", "C4"}, {"G2", "B3", "D4"}};
    const auto* chord = progressions[variant % 4];
    const QString length = QString::number(seconds, 'f', 2);
    return run(QStringLiteral("sox"),
               {"-q", "-n", "-r", "44100", "-b", "16", "-c", "2", wav, "synth", length, "pluck", chord[0], "pluck",
                chord[1], "pluck", chord[2], "remix", "1,2", "2,3", "tremolo", "2", "30", "fade", "0.05", length,
                "0.5", "gain", "-n", "-6"},
               error);
}

QByteArray coverPicture(int variant, const char* format)
{
    QImage image(300, 300, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 300, 300);
    gradient.setColorAt(0, QColor::fromHsv((variant * 67) % 360, 160, 230));
    gradient.setColorAt(1, QColor::fromHsv((variant * 67 + 140) % 360, 200, 90));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QPen(Qt::white, 6));
    painter.setBrush(Qt::NoBrush);
    for (int ring = 0; ring < 4; ++ring)
        painter.drawEllipse(QPointF(150, 150), 30.0 + ring * 28, 30.0 + ring * 28);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A front cover as FLAC and Ogg files hold it: a PNG in a picture block.
TagLib::FLAC::Picture* pngCover(int variant)
{
    const QByteArray png = coverPicture(variant, "PNG");
    auto* picture = new TagLib::FLAC::Picture;
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setMimeType("image/png");
    picture->setData(TagLib::ByteVector(png.constData(), unsigned(png.size())));
    return picture;
}

void addCover(const QString& path, int variant)
{
    const QByteArray name = QFile::encodeName(path);
    if (path.endsWith(".flac")) {
        TagLib::FLAC::File file(name.constData(), false);
        file.addPicture(pngCover(variant));
        file.save();
    } else if (path.endsWith(".ogg")) {
        TagLib::Ogg::Vorbis::File file(name.constData(), false);
        file.tag()->addPicture(pngCover(variant));
        file.save();
    } else if (path.endsWith(".m4a")) {
        const QByteArray jpeg = coverPicture(variant, "JPEG");
        TagLib::MP4::File file(name.constData(), false);
        TagLib::MP4::CoverArtList covers;
        covers.append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::JPEG,
                                            TagLib::ByteVector(jpeg.constData(), unsigned(jpeg.size()))));
        file.tag()->setItem("covr", TagLib::MP4::Item(covers));
        file.save();
    } else if (path.endsWith(".mp3")) {
        const QByteArray jpeg = coverPicture(variant, "JPEG");
        TagLib::MPEG::File file(name.constData(), false);
        auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        frame->setMimeType("image/jpeg");
        frame->setPicture(TagLib::ByteVector(jpeg.constData(), unsigned(jpeg.size())));
        file.ID3v2Tag(true)->addFrame(frame);
        file.save();
    }
}

bool writeTags(const QString& path, int index, int songs)
{
    TagLib::FileRef ref(QFile::encodeName(path).constData(), false);
    if (ref.isNull())
        return false;
    const int albumSize = 4;
    TagLib::PropertyMap map;
    const QString title = songs <= 8 ? QString::fromLatin1(kTitles[index % 8])
                                     : QStringLiteral("%1 %2").arg(QString::fromLatin1(kTitles[index % 8])).arg(index);
    map.insert("TITLE", TagLib::StringList(tagText(title)));
    map.insert("ARTIST", TagLib::StringList(tagText(QString::fromLatin1(kArtists[(index / albumSize) % 3]) +
                                                    (songs > 24 ? QStringLiteral(" %1").arg(index / 40) : QString()))));
    map.insert("ALBUM", TagLib::StringList(tagText(QStringLiteral("Demo Album %1").arg(index / albumSize + 1))));
    map.insert("GENRE", TagLib::StringList(tagText(QString::fromLatin1(kGenres[index % 4]))));
    map.insert("COMPOSER", TagLib::StringList(tagText(QStringLiteral("Tavoro Demo"))));
    map.insert("TRACKNUMBER", TagLib::StringList(tagText(QStringLiteral("%1/%2").arg(index % albumSize + 1).arg(albumSize))));
    map.insert("DATE", TagLib::StringList(tagText(QStringLiteral("2026"))));
    ref.file()->setProperties(map);
    return ref.save();
}

} // namespace

QStringList generateDemoLibrary(const QString& directory, const DemoLibraryOptions& options, QString* error)
{
    QString ignored;
    error = error ? error : &ignored;
    QDir dir(directory);
    const QString marker = dir.filePath(QStringLiteral(".generated-%1-%2").arg(options.songs).arg(options.seconds));
    const int formats = int(std::size(kFormats));

    QStringList songs;
    for (int i = 0; i < options.songs; ++i) {
        const Format& format = kFormats[i % formats];
        songs.append(dir.filePath(QStringLiteral("Demo Album %1/%2 Song %3.%4")
                                      .arg(i / 4 + 1)
                                      .arg(i % 4 + 1, 2, 10, QChar('0'))
                                      .arg(i + 1)
                                      .arg(QString::fromLatin1(format.extension))));
    }
    if (QFile::exists(marker))
        return songs;

    // The encoded sources go to a fresh private folder, created here (never one found at a
    // fixed name, which might be a link to someone's files) and removed with its contents.
    if (!QDir().mkpath(directory)) {
        *error = QStringLiteral("cannot create %1").arg(directory);
        return {};
    }
    QTemporaryDir sourcesFolder(dir.filePath(QStringLiteral(".sources-XXXXXX")));
    if (!sourcesFolder.isValid()) {
        *error = QStringLiteral("cannot create %1").arg(sourcesFolder.path());
        return {};
    }
    const QString sources = sourcesFolder.path();
    // One encoded source per format (and per chord, for a small library to sound varied).
    const int variants = options.songs <= 8 ? options.songs : formats;
    for (int v = 0; v < variants; ++v) {
        const QString wav = QDir(sources).filePath(QStringLiteral("chord-%1.wav").arg(v));
        if (!synthesise(wav, options.seconds, v, error))
            return {};
        const Format& format = kFormats[v % formats];
        const QString encoded = QDir(sources).filePath(QStringLiteral("song-%1.%2").arg(v).arg(format.extension));
        QStringList arguments = {"-nostdin", "-v", "error", "-y", "-i", wav};
        arguments << format.encoder << encoded;
        if (!run(QStringLiteral("ffmpeg"), arguments, error))
            return {};
    }

    for (int i = 0; i < options.songs; ++i) {
        const Format& format = kFormats[i % formats];
        const int v = options.songs <= 8 ? i : i % formats;
        const QString source = QDir(sources).filePath(QStringLiteral("song-%1.%2").arg(v).arg(format.extension));
        QDir().mkpath(QFileInfo(songs[i]).absolutePath());
        QFile::remove(songs[i]);
        if (!QFile::copy(source, songs[i]) || !writeTags(songs[i], i, options.songs)) {
            *error = QStringLiteral("cannot write %1").arg(songs[i]);
            return {};
        }
        // Covers on every song of the small library but the WAV, one in four of a large one.
        if (options.songs <= 8 || i % 4 == 0)
            addCover(songs[i], i);
    }

    // The playlist and the marker replace whatever is at their names (a link included)
    // rather than writing through it.
    QByteArray playlist = "#EXTM3U\n";
    for (const QString& song : songs)
        playlist += QFile::encodeName(dir.relativeFilePath(song)) + '\n';
    const QString playlistPath = dir.filePath(options.playlistName + QStringLiteral(".m3u"));
    if (!replaceFileContents(QFile::encodeName(playlistPath).toStdString(), playlist.constData(), size_t(playlist.size()))) {
        *error = QStringLiteral("cannot write %1").arg(playlistPath);
        return {};
    }
    replaceFileContents(QFile::encodeName(marker).toStdString(), "", 0);
    return songs;
}

bool directoryHoldsMusic(const QString& directory)
{
    static const QStringList kSongFiles = {"*.mp3", "*.m4a", "*.flac", "*.ogg", "*.opus", "*.wav",
                                           "*.aif", "*.aiff", "*.MP3", "*.M4A", "*.FLAC", "*.OGG", "*.WAV"};
    QDirIterator it(directory, kSongFiles, QDir::Files, QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
    return it.hasNext();
}
