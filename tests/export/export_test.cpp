// The asset's source description as FFmpeg reads it, and the passthrough export: a
// byte-identical copy delivered on a worker thread, or a failure with no file left behind.

#include "../SoundFiles.h"
#include "../HostileFiles.h"
#include "platform/export/AVAssetExportSession.h"
#include "platform/export/FileClone.h"
#include "platform/foundation/LocalFileURL.h"
#include "platform/foundation/SafeFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <condition_variable>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QTemporaryDir* g_dir = nullptr;
QString fixture(const QString& name) { return g_dir->filePath(name); }
QUrl url(const QString& name) { return QUrl::fromLocalFile(fixture(name)); }

class ExportFixtures : public ::testing::Environment {
    void SetUp() override
    {
        g_dir = new QTemporaryDir;
        const char* const made[][2] = {
            {"-ac 2 -c:a aac", "aac.m4a"},           {"-ac 1 -c:a aac", "mono.m4a"},
            {"-ac 2 -sample_fmt s16p -c:a alac", "alac.m4a"}, {"-ac 2 -c:a libmp3lame", "plain.mp3"},
            {"-ac 2 -c:a pcm_s16le", "le.wav"},      {"-ac 2 -c:a pcm_f32le", "float.wav"},
            {"-ac 2 -c:a pcm_s16be", "be.aiff"},     {"-ac 2 -c:a libvorbis", "vorbis.ogg"},
            {"-ac 2 -sample_fmt s16 -c:a flac", "lossless.flac"}, {"-ac 2 -c:a libopus", "speech.opus"},
            {"-ac 2 -c:a wavpack", "packed.wv"},
        };
        for (const auto& m : made)
            ASSERT_TRUE(test_files::makeTone(fixture(m[1]).toStdString(), 0.3, m[0])) << m[1];
        // An MP3 with a cover picture: the picture is a video stream before the audio.
        const std::string cover = fixture("cover.png").toStdString();
        ASSERT_TRUE(test_files::ffmpegMake("-f lavfi -i color=c=red:s=32x32:d=1", "-frames:v 1", cover));
        ASSERT_TRUE(test_files::makeTone(fixture("cover.mp3").toStdString(), 0.3,
                                         "-i '" + cover + "' -map 1 -map 0 -c:v png -disposition:v attached_pic "
                                         "-c:a libmp3lame -ac 2"));
        // A song from an old archive: its name is Latin-1 ("caf\xe9"), not UTF-8.
        const QByteArray latin1 = QFile::encodeName(g_dir->path()) + "/caf\xe9.flac";
        ASSERT_EQ(std::system(("cp '" + QFile::encodeName(fixture("lossless.flac")) + "' '" + latin1 + "'").constData()), 0);
        QFile text(fixture("notes.txt"));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("these are not audio samples\n");
    }
    void TearDown() override { delete g_dir; }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ExportFixtures);

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::shared_ptr<AVAssetExportSession> session(const QUrl& source, const QString& type, const QString& target,
                                              const QString& preset = AVAssetExportPresetPassthrough)
{
    auto s = AVAssetExportSession::exportSessionWithAsset(AVURLAsset::URLAssetWithURL(source), preset);
    s->setOutputFileType(type);
    s->setOutputURL(QUrl::fromLocalFile(target));
    return s;
}

// Runs an export to its completion; answers the status its handler saw and whether the
// handler ran on a thread of its own.
std::pair<AVAssetExportSessionStatus, bool> run(const std::shared_ptr<AVAssetExportSession>& s,
                                                const std::function<void()>& meanwhile = {})
{
    std::mutex m;
    std::condition_variable cv;
    std::optional<std::pair<AVAssetExportSessionStatus, bool>> seen;
    const auto caller = std::this_thread::get_id();
    s->exportAsynchronouslyWithCompletionHandler([&] {
        std::lock_guard lock(m);
        seen.emplace(s->status(), std::this_thread::get_id() != caller);
        cv.notify_all();
    });
    if (meanwhile)
        meanwhile();
    std::unique_lock lock(m);
    EXPECT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return seen.has_value(); }));
    return seen.value_or(std::make_pair(AVAssetExportSessionStatusUnknown, false));
}

} // namespace

TEST(URLAsset, DescribesEachSourceFormat)
{
    const struct {
        const char* file;
        UInt32 formatID, flags, channels, bits;
    } cases[] = {
        {"aac.m4a", kAudioFormatMPEG4AAC, 0, 2, 0},   {"mono.m4a", kAudioFormatMPEG4AAC, 0, 1, 0},
        {"alac.m4a", kAudioFormatAppleLossless, 0, 2, 0}, {"cover.mp3", kAudioFormatMPEGLayer3, 0, 2, 0},
        {"le.wav", kAudioFormatLinearPCM, 12, 2, 16},  // signed, packed
        {"float.wav", kAudioFormatLinearPCM, 9, 2, 32},  // float, packed
        {"be.aiff", kAudioFormatLinearPCM, 14, 2, 16},  // big-endian, signed, packed
        {"vorbis.ogg", kAudioFormatVorbis, 0, 2, 0},
        {"lossless.flac", kAudioFormatFLAC, 0, 2, 0},
        {"speech.opus", kAudioFormatOpus, 0, 2, 0},
        {"packed.wv", FourCC("wavp"), 0, 2, 0},  // no tag of its own: named by its decoder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto tracks = AVURLAsset(url(c.file)).tracksWithMediaType(AVMediaTypeAudio);
        ASSERT_EQ(tracks.size(), 1);
        const AudioStreamBasicDescription d = tracks.first().formatDescriptions().value(0);
        EXPECT_EQ(d.mFormatID, c.formatID);
        EXPECT_EQ(d.mFormatFlags, c.flags);
        EXPECT_EQ(d.mChannelsPerFrame, c.channels);
        EXPECT_EQ(d.mBitsPerChannel, c.bits);
    }
    for (const QUrl& none : {QUrl(), url("missing.m4a"), url("notes.txt"), url("cover.png")})
        EXPECT_TRUE(AVURLAsset(none).tracksWithMediaType(AVMediaTypeAudio).isEmpty()) << none.toString().toStdString();
}

TEST(URLAsset, AHostileSourceMakesNoOtherOpen)
{
    hostile::LocalListener listener;
    for (const auto& [name, bytes] : hostile::streamingFiles(listener.port())) {
        QFile file(fixture(QString::fromStdString(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes.data(), qint64(bytes.size())) > 0);
        file.close();
        EXPECT_TRUE(AVURLAsset::URLAssetWithURL(url(file.fileName()))->tracksWithMediaType(AVMediaTypeAudio).isEmpty());
    }
    EXPECT_EQ(listener.connections(), 0) << "a source made the export connect to the address it names";
    // A FIFO in a song's place: the import tests, on the path of a chosen song.
}

TEST(ExportSession, CopiesEachSupportedSourceUnchangedOnAWorkerThread)
{
    QTemporaryDir out;
    const struct {
        const char* source;
        QString type;
        const char* target;
    } cases[] = {{"aac.m4a", AVFileTypeAppleM4A, "music.m4a"}, {"alac.m4a", AVFileTypeAppleM4A, "music.m4a"},
                 {"cover.mp3", AVFileTypeQuickTimeMovie, "music.mp3"}, {"be.aiff", AVFileTypeAIFF, "music.aif"},
                 {"le.wav", AVFileTypeWAVE, "music.wav"}, {"plain.mp3", AVFileTypeQuickTimeMovie, "music.mp3"},
                 {"lossless.flac", AVFileTypeFLAC, "music.flac"}, {"vorbis.ogg", AVFileTypeOggVorbis, "music.ogg"},
                 {"speech.opus", AVFileTypeOpus, "music.opus"}, {"packed.wv", AVFileTypeAudio, "music.wv"},
                 {"caf\xe9.flac", AVFileTypeFLAC, "music.flac"}};
    for (bool clone : {true, false}) {
        AVAssetExportSession::setCloneAllowedForTesting(clone);
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.source << (clone ? " clone allowed" : " copy only"));
            const QByteArray sourcePath = QFile::encodeName(g_dir->path()) + "/" + c.source;
            struct stat before {};
            ASSERT_EQ(::stat(sourcePath.constData(), &before), 0);
            auto s = session(fileURLWithPathBytes(sourcePath), c.type, out.filePath(c.target));
            EXPECT_EQ(run(s), std::make_pair(AVAssetExportSessionStatusCompleted, true));
            EXPECT_EQ(s->error().localizedDescription.toStdString(), "");
            EXPECT_NE(s->copyMethod(), FileCopyMethod::None);
            if (!clone) {
                EXPECT_NE(s->copyMethod(), FileCopyMethod::Clone);
            }
            // Replaced when it existed; the user's own file is left exactly as it was.
            struct stat after {};
            ASSERT_EQ(::stat(sourcePath.constData(), &after), 0);
            EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
            EXPECT_EQ(after.st_ino, before.st_ino);
            const int fd = ::open(sourcePath.constData(), O_RDONLY);
            ASSERT_GE(fd, 0);
            QFile sourceFile;
            ASSERT_TRUE(sourceFile.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
            EXPECT_EQ(contents(out.filePath(c.target)), sourceFile.readAll());
        }
    }
    AVAssetExportSession::setCloneAllowedForTesting(true);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 8);  // no temporary file left
}

TEST(ExportSession, FailsWithoutLeavingAFile)
{
    QTemporaryDir out;
    const QString target = out.filePath("music");
    auto remote = session(url("aac.m4a"), AVFileTypeAppleM4A, target);
    remote->setOutputURL(QUrl("http://localhost/music.m4a"));
    const std::pair<std::shared_ptr<AVAssetExportSession>, long> cases[] = {
        {session(url("vorbis.ogg"), QString(), target), AVErrorInvalidOutputFileType},  // no type for its format
        {session(url("plain.mp3"), AVFileTypeAppleM4A, target), AVErrorFileFormatNotRecognized},
        {session(url("notes.txt"), AVFileTypeWAVE, target), AVErrorNoSourceTrack},
        {session(url("aac.m4a"), AVFileTypeAppleM4A, out.filePath("no/such/dir/music.m4a")), AVErrorInvalidOutputURL},
        {remote, AVErrorInvalidOutputURL},
        {session(url("aac.m4a"), AVFileTypeAppleM4A, target, "AVAssetExportPresetAppleM4A"), AVErrorExportFailed},
    };
    for (const auto& [s, code] : cases) {
        SCOPED_TRACE(code);
        EXPECT_EQ(run(s).first, AVAssetExportSessionStatusFailed);
        EXPECT_EQ(s->error().code, code);
    }
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(FileCopy, ASourceEndingBeforeItsSizeIsAnErrorNotAShorterCopy)
{
    // A kernel attribute file states a page and holds a few bytes: to the copy, a source
    // that shrank after its size was taken.
    const int source = openRegularFile("/sys/devices/system/cpu/online");
    if (source < 0)
        GTEST_SKIP() << "no /sys here";
    const int target = ::memfd_create("copy", MFD_CLOEXEC);
    const std::atomic<bool> cancel{false};
    const FileCopyResult copy = cloneOrCopyFile(source, target, cancel);
    EXPECT_FALSE(copy.ok);
    EXPECT_EQ(copy.error, "the source shrank during the copy");
    ::close(source);
    ::close(target);
}

TEST(ExportSession, CancelledExportEndsAsCancelledAndWritesNothing)
{
    QTemporaryDir out;
    const QString target = out.filePath("music.m4a");
    // Cancelled once exporting, with a start held up far beyond run()'s wait: only a cancel
    // that cuts the wait short ends in time.
    AVAssetExportSession::setStartDelayForTesting(600000);
    auto running = session(url("aac.m4a"), AVFileTypeAppleM4A, target);
    const auto cancelWhileExporting = [&] {
        for (int i = 0; i < 5000 && running->status() != AVAssetExportSessionStatusExporting; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        running->cancelExport();
    };
    EXPECT_EQ(run(running, cancelWhileExporting).first, AVAssetExportSessionStatusCancelled);
    AVAssetExportSession::setStartDelayForTesting(0);

    auto early = session(url("aac.m4a"), AVFileTypeAppleM4A, target);
    early->cancelExport();
    EXPECT_EQ(run(early).first, AVAssetExportSessionStatusCancelled);
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}
