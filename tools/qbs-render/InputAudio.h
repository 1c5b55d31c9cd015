#pragma once
// Loads the tool's input: a 16-bit PCM WAV file as it stands, or any other file the
// player's engine can play, decoded as the engine decodes it (16-bit stereo at 44100 Hz).

#include "tools/qbs-render/WavFile.h"

#include <string>

bool loadInputAudio(const std::string& path, PcmAudio& audio, std::string& error);
