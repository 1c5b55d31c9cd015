// The file type and extension a song is exported with, by its format.

#include "player/ExportChoice.h"

#include "platform/export/AVAssetExportSession.h"
#include "platform/audiofile/ExtAudioFile.h"

#include <QFileInfo>

#include <algorithm>

ExportChoice exportChoiceFor(const AudioStreamBasicDescription& source, const QUrl& sourceURL)
{
    switch (source.mFormatID) {
    case kAudioFormatMPEG4AAC:
    case kAudioFormatAppleLossless:
        return {AVFileTypeAppleM4A, QStringLiteral("m4a")};
    case kAudioFormatMPEGLayer3:
        return {AVFileTypeQuickTimeMovie, QStringLiteral("mp3")};
    case kAudioFormatLinearPCM:
        if ((source.mFormatFlags & kAudioFormatFlagIsBigEndian) && source.mFormatFlags != 10)
            return {AVFileTypeAIFF, QStringLiteral("aif")};
        return {AVFileTypeWAVE, QStringLiteral("wav")};
    case kAudioFormatFLAC:
        return {AVFileTypeFLAC, QStringLiteral("flac")};
    case kAudioFormatVorbis:
        return {AVFileTypeOggVorbis, QStringLiteral("ogg")};
    case kAudioFormatOpus:
        return {AVFileTypeOpus, QStringLiteral("opus")};
    default: {
        // Any other format the reader decodes keeps the extension of its container.
        const QString extension = QFileInfo(sourceURL.path()).suffix().toLower();
        const bool plain = !extension.isEmpty() && extension.size() <= 8
                           && std::all_of(extension.begin(), extension.end(), [](QChar c) {
                                  return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
                              });
        if (source.mFormatID == 0 || !plain)
            return {};
        return {AVFileTypeAudio, extension};
    }
    }
}

