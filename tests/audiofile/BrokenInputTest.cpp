// Files that are missing, not audio, empty, truncated or corrupt: open or read answers a
// status and never crashes (the sanitizer build runs these too).

#include "TrackCases.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

using namespace audiofile_test;

namespace {

std::string readWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Opens `path`; when that works, reads to the end in blocks and checks the reader stops
// by itself without delivering more than its length. Returns the open status.
OSStatus openAndDrain(const std::string& path, SInt64* framesRead = nullptr)
{
    ExtAudioFileRef file = nullptr;
    const OSStatus status = ExtAudioFileOpenURL(path, &file);
    if (status != noErr) {
        EXPECT_EQ(file, nullptr);
        return status;
    }
    AudioStreamBasicDescription client{44100, kAudioFormatLinearPCM, 12, 4, 1, 4, 2, 16, 0};
    EXPECT_EQ(ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, sizeof client, &client), noErr);
    const SInt64 length = lengthOf(file);
    std::vector<int16_t> buffer(2 * 1024);
    SInt64 total = 0;
    for (int block = 0; block < 100000; ++block) {
        UInt32 frames = 1024;
        AudioBufferList list{1, {{2, 4096, buffer.data()}}};
        const OSStatus readStatus = ExtAudioFileRead(file, &frames, &list);
        total += frames;
        if (readStatus != noErr || frames == 0)
            break;
    }
    EXPECT_LE(total, length);
    if (framesRead)
        *framesRead = total;
    EXPECT_EQ(ExtAudioFileDispose(file), noErr);
    return noErr;
}

TEST(BrokenInput, MissingFileDirectoryAndNonAudioAreRefusedWithTheirStatus)
{
    ExtAudioFileRef file = reinterpret_cast<ExtAudioFileRef>(0x1);
    EXPECT_EQ(ExtAudioFileOpenURL(fixtureDir() + "/no-such-file.mp3", &file), fnfErr);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(ExtAudioFileOpenURL(fixtureDir() + "/no-such-dir/x.m4a", &file), fnfErr);
    EXPECT_EQ(ExtAudioFileOpenURL(fixtureDir(), &file), kAudioFileUnsupportedFileTypeError);
    EXPECT_EQ(ExtAudioFileOpenURL(writeFile("notes.m4a", "just some text, not audio at all\n"), &file),
              kAudioFileUnsupportedFileTypeError);
    EXPECT_EQ(ExtAudioFileOpenURL("/dev/null", &file), kAudioFileUnsupportedFileTypeError);
    // A picture has a stream, but no audio one.
    const std::string picture = fixtureDir() + "/cover.png";
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=red:s=16x16 -frames:v 1 '" + picture + "'").c_str()), 0);
    EXPECT_EQ(ExtAudioFileOpenURL(picture, &file), kAudioFileUnsupportedFileTypeError);
    EXPECT_EQ(ExtAudioFileOpenURL("http://example.com/song.mp3", &file), kAudioFileUnsupportedFileTypeError);
    EXPECT_EQ(ExtAudioFileOpenURL("", &file), kAudioFileUnsupportedFileTypeError);
    EXPECT_EQ(ExtAudioFileOpenURL(fixtureDir(), nullptr), kAudioFileNotOpenError);
}

TEST(BrokenInput, EmptyFilesOpenAsTracksOfLengthZero)
{
    // A 0-byte file and a WAV header without frames: nothing to play, which the caller
    // sees as length 0 rather than as a broken file.
    std::string header("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xac\0\0\x10\xb1\x02\0\x04\0\x10\0data\0\0\0\0", 44);
    for (const std::string& path : {writeFile("empty.m4a", ""), writeFile("header-only.wav", header)}) {
        ExtAudioFileRef file = openWithClient(path);
        ASSERT_NE(file, nullptr) << path;
        EXPECT_EQ(lengthOf(file), 0) << path;
        EXPECT_TRUE(readFrames(file).empty());
        EXPECT_EQ(ExtAudioFileSeek(file, 0), noErr);
        ExtAudioFileDispose(file);
    }
}

TEST(BrokenInput, RandomBytesNeverCrash)
{
    std::mt19937 random(7);
    for (int i = 0; i < 4; ++i) {
        std::string bytes(16384 << i, '\0');
        for (char& c : bytes)
            c = char(random());
        openAndDrain(writeFile("random" + std::to_string(i) + ".mp3", bytes));
    }
}

TEST(BrokenInput, TruncatedFilesOpenFailOrEndEarly)
{
    const TrackCase tracks[] = {
        {"cut.mp3", 44100, 2, 44100, "-c:a libmp3lame -b:a 128k", kAudioFormatMPEGLayer3, false},
        {"cut.flac", 44100, 2, 44100, "-c:a flac -sample_fmt s16", kAudioFormatFLAC, true},
        {"cut-index-last.m4a", 44100, 2, 44100, "-c:a aac", kAudioFormatMPEG4AAC, false},
        {"cut-index-first.m4a", 44100, 2, 44100, "-c:a aac -movflags +faststart", kAudioFormatMPEG4AAC, false},
        {"cut.wav", 44100, 2, 44100, "-c:a pcm_s16le", kAudioFormatLinearPCM, true},
    };
    for (const TrackCase& track : tracks) {
        const std::string whole = readWhole(track.make());
        for (double keep : {0.5, 0.1}) {
            const std::string path = writeFile("part-" + std::string(track.file), whole.substr(0, size_t(whole.size() * keep)));
            SInt64 frames = 0;
            const OSStatus status = openAndDrain(path, &frames);
            if (status == noErr) {
                EXPECT_LT(frames, 44100) << track.file << " keep " << keep;
            }
        }
    }
    // The MP4 index at the end is cut off: nothing says where the audio is.
    const std::string whole = readWhole(tracks[2].make());
    EXPECT_NE(openAndDrain(writeFile("no-index.m4a", whole.substr(0, whole.size() / 2))), noErr);
}

TEST(BrokenInput, CorruptDataInTheMiddleDoesNotStopTheReaderUnsafely)
{
    for (const char* name : {"lame.mp3", "aac.m4a", "lossless.flac", "vorbis.ogg"}) {
        const TrackCase* track = std::find_if(std::begin(kTracks), std::end(kTracks),
                                              [&](const TrackCase& t) { return std::string(t.file) == name; });
        std::string bytes = readWhole(track->make());
        std::mt19937 random(11);
        for (size_t i = bytes.size() / 3; i < bytes.size() / 3 + 2000 && i < bytes.size(); ++i)
            bytes[i] = char(random());
        openAndDrain(writeFile(std::string("garbled-") + name, bytes));
    }
}

TEST(BrokenInput, FileUrlsAreDecoded)
{
    const std::string dir = fixtureDir() + "/odd name #1";
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(kTracks[0].make(), dir + "/track 100%.wav");
    SInt64 frames = 0;
    EXPECT_EQ(openAndDrain("file://" + fixtureDir() + "/odd%20name%20%231/track%20100%25.wav", &frames), noErr);
    EXPECT_EQ(frames, kTracks[0].frames);
    EXPECT_EQ(openAndDrain("file://localhost" + fixtureDir() + "/odd%20name%20%231/track%20100%25.wav"), noErr);
    EXPECT_EQ(openAndDrain("file://otherhost" + fixtureDir() + "/odd%20name%20%231/track%20100%25.wav"),
              kAudioFileUnsupportedFileTypeError);
    EXPECT_EQ(openAndDrain("file://" + fixtureDir() + "/odd%2"), kAudioFileUnsupportedFileTypeError);
    // A plain path is a path, even with characters a URL would escape.
    EXPECT_EQ(openAndDrain(dir + "/track 100%.wav"), noErr);
}

} // namespace
