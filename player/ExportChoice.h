#pragma once
// The file type and extension a song is exported with, by its source format.

#include "platform/coreaudio/CoreAudioTypes.h"

#include <QString>
#include <QUrl>

struct ExportChoice {
    QString fileType;   // empty: the format cannot be exported
    QString extension;  // empty with it
};

// `sourceURL` names the song's own file, whose extension is kept for formats that go out
// in their own container.
ExportChoice exportChoiceFor(const AudioStreamBasicDescription& source, const QUrl& sourceURL);
