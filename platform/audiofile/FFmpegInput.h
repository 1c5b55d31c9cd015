#pragma once
// FFmpeg's only way into a file from outside. The demuxer reads through positioned
// reads the caller supplies (a descriptor it opened safely), may open nothing beside it
// (no URL, playlist entry, segment, reference or other protocol that a crafted file
// names), and must be one of the audio demuxers of the formats the player plays, so no
// playlist, manifest, concatenation or image demuxer ever parses a file.
//
// One object serves one thread at a time; the contexts it opens read through it.

#include <cstdint>

struct AVFormatContext;
struct AVInputFormat;
struct AVIOContext;
struct AVIOInterruptCB;

// Up to `length` bytes at `offset` into `buffer`: the count, 0 at the end, -1 on error.
using InputReadAt = int64_t (*)(const void* source, int64_t offset, uint8_t* buffer, int length);

class FFmpegInput {
public:
    // Reads descriptor `fd` (not owned, kept open by the caller) of `size` bytes.
    FFmpegInput(int fd, int64_t size);
    // Reads through `readAt(source, ...)`.
    FFmpegInput(InputReadAt readAt, const void* source, int64_t size);
    ~FFmpegInput();
    FFmpegInput(const FFmpegInput&) = delete;
    FFmpegInput& operator=(const FFmpegInput&) = delete;

    // Opens `*context` on the file from its start, with `format` or else FFmpeg's guess
    // (`name`, the file's name, lets the guess weigh its extension). Returns 0 or an
    // AVERROR code; a demuxer outside the audio ones fails. A previous context opened
    // here must be closed (avformat_close_input) before, and every context before this
    // object goes.
    // `interrupt`, when given, is the context's interrupt callback.
    static constexpr int kDefaultBufferSize = 32 * 1024;
    int open(AVFormatContext** context, const char* name, const AVInputFormat* format = nullptr,
             int bufferSize = kDefaultBufferSize, const AVIOInterruptCB* interrupt = nullptr);
    // The byte offset the next read starts at: it moves while the demuxer makes progress.
    int64_t position() const { return m_position; }

    // Called with the URL of every open a demuxer attempts beside the file (each one is
    // refused). For tests; any thread.
    static void setRefusedOpenObserver(void (*observer)(const char* url));

private:
    static int read(void* opaque, uint8_t* buffer, int size);
    static int64_t seek(void* opaque, int64_t offset, int whence);
    void releaseIo();

    InputReadAt m_readAt;
    const void* m_source;
    int64_t m_size;
    int64_t m_position = 0;
    AVIOContext* m_io = nullptr;
};

// Whether `demuxerName` (an AVInputFormat name) is one of the audio demuxers allowed.
bool isAllowedAudioDemuxer(const char* demuxerName);
