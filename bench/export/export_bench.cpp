// The import's passthrough copy of a large song on one file system.
//
//   export_bench [--dir DIR] [--megabytes M] [--runs R]
//
// Makes DIR/big.flac once (about M megabytes, default 200: 24-bit 96 kHz stereo noise made
// with ffmpeg), then R times (default 5) each, alternating:
//   export (clone)  the export session into DIR/music.flac as the import runs it (reading
//                   the source's format with FFmpeg, then the copy beside the target and
//                   its rename; the old target is removed before timing): a clone
//                   where the file system has reflinks, else an in-kernel copy
//   export (copy)   the same with cloning switched off
//   peer copy       std::filesystem::copy_file of the same file (the C++ library's copy)
// and prints the medians, how the export copied, and the ratios to the peer. Run it with
// DIR on the file system whose behaviour is wanted (Btrfs or XFS to see clones).

#include "platform/export/AVAssetExportSession.h"
#include "platform/foundation/LocalFileURL.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double timed(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The target must not exist (its removal is not part of the copy).
FileCopyMethod exportOnce(const QString& source, const QString& target)
{
    auto session = AVAssetExportSession::exportSessionWithAsset(
        AVURLAsset::URLAssetWithURL(QUrl::fromLocalFile(source)), AVAssetExportPresetPassthrough);
    session->setOutputFileType(AVFileTypeFLAC);
    session->setOutputURL(QUrl::fromLocalFile(target));
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    session->exportAsynchronouslyWithCompletionHandler([&] {
        std::lock_guard lock(mutex);
        done = true;
        finished.notify_all();
    });
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return done; });
    if (session->status() != AVAssetExportSessionStatusCompleted)
        qFatal("export failed: %s", qPrintable(session->error().localizedDescription));
    return session->copyMethod();
}

const char* methodName(FileCopyMethod method)
{
    switch (method) {
    case FileCopyMethod::Clone: return "clone";
    case FileCopyMethod::KernelCopy: return "in-kernel copy";
    case FileCopyMethod::ReadWrite: return "read/write copy";
    case FileCopyMethod::None: break;
    }
    return "none";
}

} // namespace

int main(int argc, char** argv)
{
    QString dir = QDir::tempPath() + "/tavoro-export-bench";
    int megabytes = 200, runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == "--dir") dir = QString::fromLocal8Bit(argv[i + 1]);
        else if (arg == "--megabytes") megabytes = QString::fromLocal8Bit(argv[i + 1]).toInt();
        else if (arg == "--runs") runs = QString::fromLocal8Bit(argv[i + 1]).toInt();
    }
    QDir().mkpath(dir);
    const QString source = dir + "/big.flac", target = dir + "/music.flac", peer = dir + "/peer.flac";
    // 24-bit 96 kHz stereo noise at half scale compresses to about 0.275 MB a second.
    const int seconds = std::max(1, megabytes * 1000 / 275);
    if (QFileInfo(source).size() < qint64(megabytes) * 900000) {
        const QStringList arguments = {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                       QString("anoisesrc=d=%1:r=96000:a=0.5").arg(seconds), "-ac", "2",
                                       "-sample_fmt", "s32", "-c:a", "flac", source};
        if (QProcess::execute("ffmpeg", arguments) != 0)
            qFatal("ffmpeg could not make %s", qPrintable(source));
    }

    std::vector<double> clone, copy, peerCopy;
    FileCopyMethod cloneMethod = FileCopyMethod::None, copyMethod = FileCopyMethod::None;
    for (int run = 0; run < runs; ++run) {
        QFile::remove(target);
        AVAssetExportSession::setCloneAllowedForTesting(true);
        clone.push_back(timed([&] { cloneMethod = exportOnce(source, target); }));
        QFile::remove(target);
        AVAssetExportSession::setCloneAllowedForTesting(false);
        copy.push_back(timed([&] { copyMethod = exportOnce(source, target); }));
        QFile::remove(peer);
        peerCopy.push_back(timed([&] {
            std::filesystem::copy_file(QFile::encodeName(source).toStdString(), QFile::encodeName(peer).toStdString());
        }));
    }
    QFile::remove(peer);
    std::printf("%s: %.1f MB; %d runs; medians:\n", qPrintable(source), double(QFileInfo(source).size()) / 1e6, runs);
    std::printf("  export (clone allowed) %8.1f ms  (%s)  peer / this: %.2f\n", median(clone) * 1e3,
                methodName(cloneMethod), median(peerCopy) / median(clone));
    std::printf("  export (copy only)     %8.1f ms  (%s)  peer / this: %.2f\n", median(copy) * 1e3,
                methodName(copyMethod), median(peerCopy) / median(copy));
    std::printf("  peer copy_file         %8.1f ms\n", median(peerCopy) * 1e3);
    return 0;
}
