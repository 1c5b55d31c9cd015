#pragma once
// What FFmpeg says about a stream, in the reader's terms: the file data format and the
// status for an FFmpeg error code.

#include "platform/coreaudio/CoreAudioTypes.h"

struct AVCodecParameters;

// The file data format of an audio stream: rate, channels and format id; bit depth and
// flags for PCM (big-endian bit for AIFF); frames per packet for compressed formats.
AudioStreamBasicDescription fileDataFormatOf(const AVCodecParameters& stream);

// The reader's status for an FFmpeg error code.
OSStatus statusFromAVError(int averror);

// True for codecs whose packets decode on their own (PCM, FLAC, ALAC): a seek needs no
// packets before the target.
bool decodesWithoutPreroll(const AVCodecParameters& stream);
