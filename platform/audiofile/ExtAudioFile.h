#pragma once
// The extended audio file reader: opens a local audio file, decodes it with FFmpeg and
// hands out 16-bit signed interleaved PCM ("client frames") at the client rate, 1 or 2
// channels. Every call answers a status; noErr is success.
//
// Typical use (what the engine does):
//   ExtAudioFileRef f = nullptr;
//   ExtAudioFileOpenURL("file:///home/me/music.m4a", &f);
//   AudioStreamBasicDescription file{}; UInt32 size = sizeof file;
//   ExtAudioFileGetProperty(f, kExtAudioFileProperty_FileDataFormat, &size, &file);
//   ExtAudioFileSetProperty(f, kExtAudioFileProperty_ClientDataFormat, sizeof client, &client);
//   SInt64 length = 0; size = sizeof length;
//   ExtAudioFileGetProperty(f, kExtAudioFileProperty_FileLengthFrames, &size, &length);
//   ... ExtAudioFileRead(f, &frames, &list) on the render thread, ExtAudioFileSeek(f, frame) ...
//   ExtAudioFileDispose(f);
//
// Lengths and positions are in CLIENT frames. kExtAudioFileProperty_FileLengthFrames
// answers the number of frames that reads deliver from frame 0 to the end, at the client
// rate (44100 Hz unless a client format with another rate is set). For a 44.1 kHz file this
// is the file's own frame count; for a 48 kHz file of N frames it is N * 44100 / 48000,
// rounded to the nearest frame, so the length, the play position and the seek targets all
// count the same 44100 frames per second. The length is the track's real length: encoder
// priming and end padding are removed where the container records them (MP4 edit list,
// LAME/Xing gapless header, Ogg pre-skip and final granule), and reads deliver exactly that
// many frames (a few frames of silence make up a decoder that ends a little short; a
// truncated file's reads end where its data ends).
//
// Seeks land exactly on the requested client frame. Lossless and resampled tracks give
// bit-identical frames to a straight read; lossy ones decode from packets well before the
// target, which is bit-identical for MP3, Vorbis and AAC without noise substitution, and
// within a few steps for Opus and AAC noise bands (their decoders' state is not exactly
// restorable). Every seek starts a new decoder, so what it delivers never depends on what
// was decoded before it: a seek to 0 replays a fresh open bit for bit, and a seek to F
// always delivers the same frames, however far the decoding thread had run ahead.
//
// Decoding runs ahead on a thread of each reader's own, into a ring holding about 2 s of
// client-format PCM. A read only copies from that ring: it never waits, allocates, takes a
// lock or decodes. When the ring runs short (the disk or the decoder is held up) a read
// delivers what there is, possibly nothing, and ExtAudioFileReadEnded tells that apart from
// the end of the track. Setting the client format and seeking empty the ring and refill it
// (they return once about 0.25 s is decoded again).
//
// Threads: one reference is read by one thread at a time, and the caller keeps reads apart
// from seeks, property calls and the dispose (which may come from any other thread). Seeks
// and property calls may allocate.

#include "platform/coreaudio/CoreAudioTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct OpaqueExtAudioFile;
using ExtAudioFileRef = OpaqueExtAudioFile*;
using ExtAudioFilePropertyID = UInt32;

// Properties.
// FileDataFormat (get, 40-byte AudioStreamBasicDescription): the file's own format: sample
//   rate, channels, format id ('aac ', 'alac', '.mp3', 'lpcm', 'flac', 'vorb', 'opus'); for
//   PCM also the bit depth and flags (big-endian bit set for AIFF); for compressed formats
//   the frames per packet where known and 0 byte/bit fields.
// ClientDataFormat (get/set, 40 bytes): what reads deliver. Accepted: 'lpcm', signed
//   integer + packed (flags 12, no big-endian/float/non-interleaved bits), 16 bits,
//   1 or 2 channels, interleaved, any rate from 8000 to 192000 Hz. Until one is set the
//   client format is 16-bit interleaved at 44100 Hz with the file's channel count (2 when
//   the file has more than 2). More channels are mixed down; one channel is copied to both.
// FileLengthFrames (get, 8-byte SInt64): the length in client frames, see above.
// PlaybackGain (set, 4-byte SInt32): the song's volume-leveling gain that whoever plays
//   the reader applies to what it reads, in 16.16 fixed point (kExtAudioFilePlaybackGainUnity
//   leaves the samples as they are; negative values count as 0). The reader itself does not
//   apply it: it travels with the reader so that the gain of each song goes with its frames.
//   Unlike the other properties it may be set while another thread reads; that thread sees
//   it through ExtAudioFilePlaybackGain.
constexpr ExtAudioFilePropertyID kExtAudioFileProperty_FileDataFormat = FourCC("ffmt");
constexpr ExtAudioFilePropertyID kExtAudioFileProperty_ClientDataFormat = FourCC("cfmt");
constexpr ExtAudioFilePropertyID kExtAudioFileProperty_FileLengthFrames = FourCC("#frm");
constexpr ExtAudioFilePropertyID kExtAudioFileProperty_PlaybackGain = FourCC("pgan");
constexpr SInt32 kExtAudioFilePlaybackGainUnity = 1 << 16;

// Format ids of the file data format beyond those in CoreAudioTypes.h.
constexpr UInt32 kAudioFormatFLAC = FourCC("flac");
constexpr UInt32 kAudioFormatVorbis = FourCC("vorb");
constexpr UInt32 kAudioFormatOpus = FourCC("opus");

// Statuses of this reader (their codes are in CoreAudioTypes.h):
//   fnfErr                                  the file does not exist
//   kAudioFilePermissionsError              the file cannot be read
//   kAudioFileUnsupportedFileTypeError      not an audio file, or a directory
//   kAudioFileInvalidFileError              corrupt or truncated container or stream
//   kAudioFileUnsupportedDataFormatError    no decoder for the audio stream
//   kExtAudioFileError_InvalidProperty      unknown property, or set on a read-only one
//   kExtAudioFileError_InvalidPropertySize  size does not match the property
//   kExtAudioFileError_NonPCMClientFormat   client format is not the accepted PCM layout
//   kExtAudioFileError_InvalidSeek          seek to a negative frame
//   kAudioFileNotOpenError                  null reference or null out-argument

// Opens a local file for reading. `url` is a file URL ("file:///path", percent-encoded as
// QUrl::toString() or toEncoded() writes it) or a plain absolute or relative path. On
// success *outExtAudioFile is the new reader, positioned at frame 0. On failure it is set
// to nullptr and the status says why. An empty (0-byte) regular file opens as an empty
// 44.1 kHz stereo PCM track of length 0 whose reads deliver 0 frames, so callers can treat
// "nothing to play" the same way for an empty file and for a file with no frames.
OSStatus ExtAudioFileOpenURL(const std::string& url, ExtAudioFileRef* outExtAudioFile);

// Reads a property into outPropertyData. *ioPropertyDataSize must be the property's size
// (40 for the formats, 8 for the length); it is left at the size written.
OSStatus ExtAudioFileGetProperty(ExtAudioFileRef file, ExtAudioFilePropertyID propertyID,
                                 UInt32* ioPropertyDataSize, void* outPropertyData);

// Sets a property; only kExtAudioFileProperty_ClientDataFormat can be set. Setting it
// sizes the reader's buffers for reads (allocation happens here, not in reads) and moves
// the read position to client frame 0.
OSStatus ExtAudioFileSetProperty(ExtAudioFileRef file, ExtAudioFilePropertyID propertyID,
                                 UInt32 propertyDataSize, const void* propertyData);

// Delivers up to *ioNumberFrames client frames into ioData->mBuffers[0] (one interleaved
// buffer) and sets *ioNumberFrames to the frames delivered. At most mDataByteSize /
// bytes-per-frame frames are written. As the platform call does, mDataByteSize is set to
// the bytes delivered, so a caller that reuses one buffer list must restore it before the
// next read. At and after the end of the track it delivers 0 frames with noErr; fewer frames
// than asked before the end mean the decoder is behind (see ExtAudioFileReadEnded). A decode
// error answers its status with *ioNumberFrames = 0, once, after the frames decoded before
// it; reads after it deliver 0 frames.
OSStatus ExtAudioFileRead(ExtAudioFileRef file, UInt32* ioNumberFrames, AudioBufferList* ioData);

// True once reads have delivered the track's last frame (or a truncated file's last data),
// so that a short read is the end and not the decoder falling behind. For the reading
// thread, between reads; never waits. True for a null reference.
bool ExtAudioFileReadEnded(ExtAudioFileRef file);

// The reader's PlaybackGain (unity for a null reference). For the reading thread: one
// atomic load, never waits.
SInt32 ExtAudioFilePlaybackGain(ExtAudioFileRef file);

// Moves the read position to the given client frame; the next read starts exactly there.
// A target at or past the length positions at the end (reads then deliver 0 frames).
OSStatus ExtAudioFileSeek(ExtAudioFileRef file, SInt64 frameOffset);

// The current read position in client frames.
OSStatus ExtAudioFileTell(ExtAudioFileRef file, SInt64* outFrameOffset);

// Closes the file and frees the reader. A null reference answers kAudioFileNotOpenError.
OSStatus ExtAudioFileDispose(ExtAudioFileRef file);

// ---- Test helpers -------------------------------------------------------------------

// Opens a reader that serves the given 16-bit interleaved PCM (1 or 2 channels, 44100 Hz)
// from memory, copied at open. It behaves like a 44.1 kHz 'lpcm' file: same properties,
// same client formats (only 44100 Hz clients), reads and seeks; its reads never allocate,
// so a test can count the allocations of a render path around it.
OSStatus ExtAudioFileOpenMemory(const int16_t* samples, size_t frameCount, UInt32 channels,
                                ExtAudioFileRef* outExtAudioFile);

// With true, a read that finds the ring short waits for the decoder instead (offline tools
// and tests that pull faster than real time and need every frame). Off by default.
void ExtAudioFileWaitForDecoding(bool wait);

// Every reader's decoding thread sleeps `stallMs` once every `everyMs` (0 turns it off),
// decoding at least one chunk between two sleeps, as a stalled disk or a busy machine would
// hold it up.
void ExtAudioFileStallDecoding(unsigned stallMs, unsigned everyMs);

// Reads that ran while a seek on the same reader was in progress, since the process
// started. The caller must keep the two apart (see Threads above), so this stays 0; such a
// read may deliver frames from before or after the seek and corrupt the reader's position.
long ExtAudioFileReadsDuringSeek();

// The calls a test can make fail.
enum class ExtAudioFileCall {
    Open,                  // ExtAudioFileOpenURL / ExtAudioFileOpenMemory
    GetFileDataFormat,     // ExtAudioFileGetProperty(kExtAudioFileProperty_FileDataFormat)
    SetClientDataFormat,   // ExtAudioFileSetProperty(kExtAudioFileProperty_ClientDataFormat)
    GetFileLengthFrames,   // ExtAudioFileGetProperty(kExtAudioFileProperty_FileLengthFrames)
    Read,                  // ExtAudioFileRead
    Seek,                  // ExtAudioFileSeek
};

// Makes the next call of that kind (in any thread, on any reader) answer `status` without
// doing anything else; `afterCalls` lets that many calls of the kind succeed first. A read
// that fails this way delivers 0 frames. One pending failure per kind; a new one replaces
// it. Safe to call while another thread reads.
void ExtAudioFileFailNext(ExtAudioFileCall call, OSStatus status, unsigned afterCalls = 0);

// Drops every pending failure.
void ExtAudioFileClearFailures();
