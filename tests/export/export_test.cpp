// The asset's source description as FFmpeg reads it, and the passthrough export: a
// byte-identical copy delivered on a worker thread, or a failure with no file left behind.

#include "platform/export/AVAssetExportSession.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

QTemporaryDir* g_dir = nullptr;

QString fixture(const QString& name) { return g_dir->filePath(name); }

void ffmpeg(const QString& args, const QString& out)
{
    const QString cmd = QStringLiteral("ffmpeg -nostdin -loglevel error -y %1 '%2'").arg(args, fixture(out));
    ASSERT_EQ(std::system(cmd.toUtf8().constData()), 0) << cmd.toStdString();
}

class ExportFixtures : public ::testing::Environment {
public:
    void SetUp() override
    {
        g_dir = new QTemporaryDir;
        ASSERT_TRUE(g_dir->isValid());
        const QString stereo = QStringLiteral("-f lavfi -i sine=frequency=440:duration=0.3 -ac 2");
        ffmpeg(stereo + " -c:a aac", "aac.m4a");
        ffmpeg("-f lavfi -i sine=frequency=440:duration=0.3 -ac 1 -c:a aac", "mono.m4a");
        ffmpeg(stereo + " -sample_fmt s16p -c:a alac", "alac.m4a");
        ffmpeg(stereo + " -c:a libmp3lame", "plain.mp3");
        ffmpeg(stereo + " -c:a pcm_s16le", "le.wav");
        ffmpeg(stereo + " -c:a pcm_f32le", "float.wav");
        ffmpeg(stereo + " -c:a pcm_s16be", "be.aiff");
        ffmpeg(stereo + " -c:a libvorbis", "vorbis.ogg");
        // An MP3 with a cover picture: the picture is a video stream before the audio.
        ffmpeg("-f lavfi -i color=c=red:s=32x32:d=1 -frames:v 1", "cover.png");
        ffmpeg(QStringLiteral("-i '%1' -f lavfi -i sine=duration=0.3 -map 0 -map 1 -c:v png -disposition:v attached_pic "
                              "-c:a libmp3lame -ac 2")
                   .arg(fixture("cover.png")),
               "cover.mp3");
        QFile text(fixture("notes.txt"));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("these are not audio samples\n");
    }
    void TearDown() override
    {
        delete g_dir;
        g_dir = nullptr;
    }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ExportFixtures);

QUrl url(const QString& name) { return QUrl::fromLocalFile(fixture(name)); }

AudioStreamBasicDescription sourceDescription(const QString& name)
{
    auto asset = AVURLAsset::URLAssetWithURL(url(name));
    const auto tracks = asset->tracksWithMediaType(AVMediaTypeAudio);
    EXPECT_EQ(tracks.size(), 1) << name.toStdString();
    if (tracks.isEmpty() || tracks.first().formatDescriptions().isEmpty())
        return {};
    return tracks.first().formatDescriptions().first();
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs an export to completion and reports the thread its handler ran on.
struct ExportRun {
    AVAssetExportSessionStatus status = AVAssetExportSessionStatusUnknown;
    std::thread::id handlerThread;
    int handlerCalls = 0;
};

ExportRun runExport(const std::shared_ptr<AVAssetExportSession>& session,
                    const std::function<void()>& whileRunning = {})
{
    std::mutex m;
    std::condition_variable cv;
    ExportRun run;
    bool done = false;
    session->exportAsynchronouslyWithCompletionHandler([&] {
        std::lock_guard lock(m);
        run.status = session->status();
        run.handlerThread = std::this_thread::get_id();
        ++run.handlerCalls;
        done = true;
        cv.notify_all();
    });
    if (whileRunning)
        whileRunning();
    std::unique_lock lock(m);
    EXPECT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return done; }));
    return run;
}

std::shared_ptr<AVAssetExportSession> session(const QString& source, const QString& type, const QString& target)
{
    auto s = AVAssetExportSession::exportSessionWithAsset(AVURLAsset::URLAssetWithURL(url(source)),
                                                          AVAssetExportPresetPassthrough);
    s->setOutputFileType(type);
    s->setOutputURL(QUrl::fromLocalFile(target));
    s->setShouldOptimizeForNetworkUse(true);
    return s;
}

} // namespace

TEST(URLAsset, DescribesEachSourceFormat)
{
    struct Case {
        const char* file;
        UInt32 formatID;
        UInt32 flags;
        UInt32 channels;
        UInt32 bits;
    };
    const Case cases[] = {
        {"aac.m4a", kAudioFormatMPEG4AAC, 0, 2, 0},
        {"mono.m4a", kAudioFormatMPEG4AAC, 0, 1, 0},
        {"alac.m4a", kAudioFormatAppleLossless, 0, 2, 0},
        {"plain.mp3", kAudioFormatMPEGLayer3, 0, 2, 0},
        {"cover.mp3", kAudioFormatMPEGLayer3, 0, 2, 0},
        {"le.wav", kAudioFormatLinearPCM, 12, 2, 16},  // signed, packed
        {"float.wav", kAudioFormatLinearPCM, 9, 2, 32},  // float, packed
        {"be.aiff", kAudioFormatLinearPCM, 14, 2, 16},  // big-endian, signed, packed
        {"vorbis.ogg", FourCC("vorb"), 0, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const AudioStreamBasicDescription d = sourceDescription(c.file);
        EXPECT_EQ(d.mFormatID, c.formatID);
        EXPECT_EQ(d.mFormatFlags, c.flags);
        EXPECT_EQ(d.mChannelsPerFrame, c.channels);
        EXPECT_EQ(d.mBitsPerChannel, c.bits);
        EXPECT_EQ(d.mSampleRate, 44100.0);
    }
}

TEST(URLAsset, HasNoAudioTrackWithoutAudio)
{
    EXPECT_TRUE(AVURLAsset(QUrl()).tracksWithMediaType(AVMediaTypeAudio).isEmpty());
    EXPECT_TRUE(AVURLAsset(url("missing.m4a")).tracksWithMediaType(AVMediaTypeAudio).isEmpty());
    EXPECT_TRUE(AVURLAsset(url("notes.txt")).tracksWithMediaType(AVMediaTypeAudio).isEmpty());
    EXPECT_TRUE(AVURLAsset(url("cover.png")).tracksWithMediaType(AVMediaTypeAudio).isEmpty());
    // The cover of an MP3 is a video track of its own, not a second audio track.
    EXPECT_EQ(AVURLAsset(url("cover.mp3")).tracksWithMediaType(AVMediaTypeVideo).size(), 1);
}

TEST(ExportSession, CopiesEachSupportedSourceUnchangedOnAWorkerThread)
{
    QTemporaryDir out;
    const struct {
        const char* source;
        QString type;
        const char* target;
    } cases[] = {
        {"aac.m4a", AVFileTypeAppleM4A, "music.m4a"},
        {"alac.m4a", AVFileTypeAppleM4A, "music.m4a"},
        {"cover.mp3", AVFileTypeQuickTimeMovie, "music.mp3"},
        {"be.aiff", AVFileTypeAIFF, "music.aif"},
        {"le.wav", AVFileTypeWAVE, "music.wav"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const QString target = out.filePath(c.target);
        QFile::remove(target);
        auto s = session(c.source, c.type, target);
        const ExportRun run = runExport(s);
        EXPECT_EQ(run.status, AVAssetExportSessionStatusCompleted);
        EXPECT_EQ(run.handlerCalls, 1);
        EXPECT_NE(run.handlerThread, std::this_thread::get_id());
        EXPECT_EQ(contents(target), contents(fixture(c.source)));
        EXPECT_EQ(s->error().code, 0);
    }
    // A second export to the same name replaces the earlier file.
    const ExportRun again = runExport(session("alac.m4a", AVFileTypeAppleM4A, out.filePath("music.wav")));
    EXPECT_EQ(again.status, AVAssetExportSessionStatusCompleted);
    EXPECT_EQ(contents(out.filePath("music.wav")), contents(fixture("alac.m4a")));
}

TEST(ExportSession, FailsWithoutLeavingAFile)
{
    QTemporaryDir out;
    const QString target = out.filePath("music");
    struct Case {
        const char* what;
        std::shared_ptr<AVAssetExportSession> session;
        long code;
    };
    auto ogg = session("vorbis.ogg", QString(), target);
    auto wrongType = session("plain.mp3", AVFileTypeAppleM4A, target);
    auto text = session("notes.txt", AVFileTypeWAVE, target);
    auto noDir = session("aac.m4a", AVFileTypeAppleM4A, out.filePath("no/such/dir/music.m4a"));
    auto remote = session("aac.m4a", AVFileTypeAppleM4A, target);
    remote->setOutputURL(QUrl("http://localhost/music.m4a"));
    auto reencode = AVAssetExportSession::exportSessionWithAsset(AVURLAsset::URLAssetWithURL(url("aac.m4a")),
                                                                 QStringLiteral("AVAssetExportPresetAppleM4A"));
    reencode->setOutputFileType(AVFileTypeAppleM4A);
    reencode->setOutputURL(QUrl::fromLocalFile(target));
    const Case cases[] = {
        {"unknown source format", ogg, AVErrorInvalidOutputFileType},
        {"type does not suit source", wrongType, AVErrorFileFormatNotRecognized},
        {"no audio track", text, AVErrorNoSourceTrack},
        {"missing directory", noDir, AVErrorInvalidOutputURL},
        {"not a local file", remote, AVErrorInvalidOutputURL},
        {"not passthrough", reencode, AVErrorExportFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ExportRun run = runExport(c.session);
        EXPECT_EQ(run.status, AVAssetExportSessionStatusFailed);
        EXPECT_EQ(run.handlerCalls, 1);
        EXPECT_EQ(c.session->error().code, c.code);
        EXPECT_FALSE(c.session->error().localizedDescription.isEmpty());
    }
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(ExportSession, CancelledExportEndsAsCancelledAndWritesNothing)
{
    QTemporaryDir out;
    const QString target = out.filePath("music.m4a");
    AVAssetExportSession::setStartDelayForTesting(2000);
    auto s = session("aac.m4a", AVFileTypeAppleM4A, target);
    const auto started = std::chrono::steady_clock::now();
    const ExportRun run = runExport(s, [&] { s->cancelExport(); });
    AVAssetExportSession::setStartDelayForTesting(0);
    EXPECT_EQ(run.status, AVAssetExportSessionStatusCancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

    // A session cancelled before it starts still reports, once, as cancelled.
    auto early = session("aac.m4a", AVFileTypeAppleM4A, target);
    early->cancelExport();
    EXPECT_EQ(runExport(early).status, AVAssetExportSessionStatusCancelled);
    EXPECT_FALSE(QFile::exists(target));
}

TEST(ExportSession, OutlivesItsOwnerUntilTheHandlerHasRun)
{
    QTemporaryDir out;
    const QString target = out.filePath("music.mp3");
    std::mutex m;
    std::condition_variable cv;
    AVAssetExportSessionStatus seen = AVAssetExportSessionStatusUnknown;
    {
        AVAssetExportSession::setStartDelayForTesting(50);
        auto s = session("plain.mp3", AVFileTypeQuickTimeMovie, target);
        std::weak_ptr<AVAssetExportSession> weak = s;
        s->exportAsynchronouslyWithCompletionHandler([&, weak] {
            auto alive = weak.lock();
            std::lock_guard lock(m);
            seen = alive ? alive->status() : AVAssetExportSessionStatusUnknown;
            cv.notify_all();
        });
        // A second start is ignored: only one completion follows.
        s->exportAsynchronouslyWithCompletionHandler([] { ADD_FAILURE() << "second export started"; });
        AVAssetExportSession::setStartDelayForTesting(0);
    }
    std::unique_lock lock(m);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return seen != AVAssetExportSessionStatusUnknown; }));
    EXPECT_EQ(seen, AVAssetExportSessionStatusCompleted);
    EXPECT_EQ(contents(target), contents(fixture("plain.mp3")));
}
