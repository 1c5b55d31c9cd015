#pragma once
// The tracks the format and seek tests run over.

#include "AudioFixtures.h"

#include <gtest/gtest.h>

#include <ostream>

namespace audiofile_test {

struct TrackCase {
    const char* file;
    int rate;
    int channels;
    int frames;
    const char* encodeArgs;
    UInt32 formatId;
    bool lossless;
    // FFmpeg's AAC encoder records a few frames fewer than it was given; the length then
    // follows the container (its edit list), not the source.
    bool lengthFromContainer = false;
    // Largest difference between a read after a seek and the same frames read straight
    // through. Opus' decoder state converges within the pre-roll but not to the last bit
    // (a shift by one frame would differ by thousands here).
    int seekTolerance = 0;

    std::string make() const { return makeTrack(file, rate, channels, frames, encodeArgs); }
    // Frames the reader should deliver at 44100 Hz.
    SInt64 clientFrames() const { return ((lengthFromContainer ? probeStreamDuration(make()) : frames) * 44100 + rate / 2) / rate; }
};

inline std::ostream& operator<<(std::ostream& out, const TrackCase& track) { return out << track.file; }

// PNS is off for AAC: its noise comes from a generator whose state a seek cannot restore.
inline const TrackCase kTracks[] = {
    {"pcm.wav", 44100, 2, 30000, "-c:a pcm_s16le", kAudioFormatLinearPCM, true},
    {"pcm.aif", 44100, 2, 30000, "-c:a pcm_s16be", kAudioFormatLinearPCM, true},
    {"lossless.flac", 44100, 2, 30000, "-c:a flac -sample_fmt s16", kAudioFormatFLAC, true},
    {"alac.m4a", 44100, 2, 30000, "-c:a alac -sample_fmt s16p", kAudioFormatAppleLossless, true},
    {"aac.m4a", 44100, 2, 30000, "-c:a aac -aac_pns 0 -b:a 192k", kAudioFormatMPEG4AAC, false, true},
    {"lame.mp3", 44100, 2, 30000, "-c:a libmp3lame -b:a 192k", kAudioFormatMPEGLayer3, false},
    // Long enough that a seek guessed from the bit rate would land elsewhere.
    {"long-vbr.mp3", 44100, 2, 44100 * 8, "-c:a libmp3lame -q:a 5", kAudioFormatMPEGLayer3, false},
    {"vorbis.ogg", 44100, 2, 30000, "-c:a libvorbis -q:a 6", kAudioFormatVorbis, false},
    {"opus.opus", 48000, 2, 32000, "-c:a libopus -b:a 160k", kAudioFormatOpus, false, false, 100},
    {"rate48k.wav", 48000, 2, 24000, "-c:a pcm_s16le", kAudioFormatLinearPCM, false},
    {"mono.wav", 44100, 1, 20000, "-c:a pcm_s16le", kAudioFormatLinearPCM, true},
    {"mono.m4a", 44100, 1, 20000, "-c:a aac -aac_pns 0 -b:a 96k", kAudioFormatMPEG4AAC, false, true},
};

inline std::string testName(const ::testing::TestParamInfo<TrackCase>& info)
{
    std::string name = info.param.file;
    for (char& c : name)
        c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

} // namespace audiofile_test
