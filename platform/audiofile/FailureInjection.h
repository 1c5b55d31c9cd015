#pragma once
// The pending failures that tests arm with ExtAudioFileFailNext; the reader's calls ask
// here first whether they should fail.

#include "platform/audiofile/ExtAudioFile.h"

// noErr when the call should go ahead, otherwise the status it must answer (consumed).
OSStatus takeInjectedFailure(ExtAudioFileCall call);
