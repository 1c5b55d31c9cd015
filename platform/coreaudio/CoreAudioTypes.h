#pragma once
// The plain data types that the audio graph, the audio file reader and the engine pass
// between each other: status codes, four-character codes, stream descriptions and buffer
// lists, laid out as the engine expects them (a stream description is 40 bytes).

#include <cstddef>
#include <cstdint>

using OSStatus = int32_t;
using UInt32 = uint32_t;
using SInt32 = int32_t;
using SInt64 = int64_t;
using Float32 = float;
using Float64 = double;
using Boolean = bool;

constexpr OSStatus noErr = 0;

// A four-character code as one big-endian word: FourCC("lpcm") == 'lpcm'.
constexpr UInt32 FourCC(const char (&code)[5])
{
    return (UInt32(uint8_t(code[0])) << 24) | (UInt32(uint8_t(code[1])) << 16)
         | (UInt32(uint8_t(code[2])) << 8) | UInt32(uint8_t(code[3]));
}

struct AudioStreamBasicDescription {
    Float64 mSampleRate;
    UInt32 mFormatID;
    UInt32 mFormatFlags;
    UInt32 mBytesPerPacket;
    UInt32 mFramesPerPacket;
    UInt32 mBytesPerFrame;
    UInt32 mChannelsPerFrame;
    UInt32 mBitsPerChannel;
    UInt32 mReserved;
};
static_assert(sizeof(AudioStreamBasicDescription) == 40);

constexpr UInt32 kAudioFormatLinearPCM = FourCC("lpcm");
constexpr UInt32 kAudioFormatMPEG4AAC = FourCC("aac ");
constexpr UInt32 kAudioFormatAppleLossless = FourCC("alac");
constexpr UInt32 kAudioFormatMPEGLayer3 = FourCC(".mp3");

constexpr UInt32 kAudioFormatFlagIsFloat = 1u << 0;
constexpr UInt32 kAudioFormatFlagIsBigEndian = 1u << 1;
constexpr UInt32 kAudioFormatFlagIsSignedInteger = 1u << 2;
constexpr UInt32 kAudioFormatFlagIsPacked = 1u << 3;
constexpr UInt32 kAudioFormatFlagIsAlignedHigh = 1u << 4;
constexpr UInt32 kAudioFormatFlagIsNonInterleaved = 1u << 5;
constexpr UInt32 kLinearPCMFormatFlagsSampleFractionShift = 7;
constexpr UInt32 kLinearPCMFormatFlagsSampleFractionMask = 0x3Fu << kLinearPCMFormatFlagsSampleFractionShift;

// 16-bit signed packed interleaved linear PCM: what the reader delivers, the mixer takes in
// and the output device plays.
constexpr AudioStreamBasicDescription Int16InterleavedFormat(Float64 sampleRate, UInt32 channels)
{
    return {sampleRate, kAudioFormatLinearPCM, kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked,
            2 * channels, 1, 2 * channels, channels, 16, 0};
}

struct AudioBuffer {
    UInt32 mNumberChannels;
    UInt32 mDataByteSize;
    void* mData;
};

struct AudioBufferList {
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[1];
};

// Every status code the stand-ins answer with, in one table so that no two names differ in
// value by accident; four-character ones read as text name the fault.
constexpr OSStatus kAudio_ParamError = -50;
constexpr OSStatus fnfErr = -43;

// The audio file reader.
constexpr OSStatus kAudioFileUnspecifiedError = OSStatus(FourCC("wht?"));
constexpr OSStatus kAudioFileUnsupportedFileTypeError = OSStatus(FourCC("typ?"));
constexpr OSStatus kAudioFileUnsupportedDataFormatError = OSStatus(FourCC("fmt?"));
constexpr OSStatus kAudioFilePermissionsError = OSStatus(FourCC("prm?"));
constexpr OSStatus kAudioFileInvalidFileError = OSStatus(FourCC("dta?"));
constexpr OSStatus kAudioFileNotOpenError = -38;
constexpr OSStatus kAudioFileEndOfFileError = OSStatus(FourCC("eof!"));
constexpr OSStatus kExtAudioFileError_InvalidProperty = -66561;
constexpr OSStatus kExtAudioFileError_InvalidPropertySize = -66562;
constexpr OSStatus kExtAudioFileError_NonPCMClientFormat = -66563;
constexpr OSStatus kExtAudioFileError_InvalidSeek = -66568;

// The audio units and their graph.
constexpr OSStatus kAudioUnitErr_InvalidProperty = -10879;
constexpr OSStatus kAudioUnitErr_InvalidParameter = -10878;
constexpr OSStatus kAudioUnitErr_InvalidElement = -10877;
constexpr OSStatus kAudioUnitErr_NoConnection = -10876;
constexpr OSStatus kAudioUnitErr_FormatNotSupported = -10868;
constexpr OSStatus kAudioUnitErr_Uninitialized = -10867;
constexpr OSStatus kAudioUnitErr_InvalidScope = -10866;
constexpr OSStatus kAudioUnitErr_PropertyNotWritable = -10865;
constexpr OSStatus kAudioUnitErr_InvalidPropertyValue = -10851;
constexpr OSStatus kAudioUnitErr_Initialized = -10849;
constexpr OSStatus kAUGraphErr_InvalidAudioUnit = -10864;
constexpr OSStatus kAUGraphErr_CannotDoInCurrentContext = -10863;
// A unit refusing a call made from its own render: the same code as the graph's.
constexpr OSStatus kAudioUnitErr_CannotDoInCurrentContext = kAUGraphErr_CannotDoInCurrentContext;
constexpr OSStatus kAUGraphErr_OutputNodeErr = -10862;
constexpr OSStatus kAUGraphErr_InvalidConnection = -10861;
constexpr OSStatus kAUGraphErr_NodeNotFound = -10860;

// The audio session.
constexpr OSStatus kAudioSessionNotInitialized = OSStatus(FourCC("!ini"));
constexpr OSStatus kAudioSessionUnspecifiedError = OSStatus(FourCC("what"));
