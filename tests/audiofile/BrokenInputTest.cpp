// Missing, non-audio, truncated and hostile files: open or read answers a status and
// never crashes or blocks (the sanitizer build runs these too; the playback fuzz target
// feeds the reader garbled and random files).

#include "TrackCases.h"

#include "../SoundFiles.h"
#include "../HostileFiles.h"
#include "platform/audiofile/FFmpegFileSource.h"

#include <sys/stat.h>

#include <filesystem>

using namespace audiofile_test;

namespace {

// Opens `url`; when that works, reads to the end and checks that the reader stops by
// itself, within its length. Returns the open status.
OSStatus openAndDrain(const std::string& url, SInt64* framesRead = nullptr)
{
    ExtAudioFileRef file = reinterpret_cast<ExtAudioFileRef>(0x1);
    const OSStatus status = ExtAudioFileOpenURL(url, &file);
    if (status != noErr) {
        EXPECT_EQ(file, nullptr);
        return status;
    }
    const AudioStreamBasicDescription client = clientFormat(44100, 2);
    EXPECT_EQ(ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, 40, &client), noErr);
    std::vector<int16_t> buffer(2 * 1024);
    SInt64 total = 0;
    OSStatus readStatus = noErr;
    for (int block = 0; block < 100000; ++block) {
        UInt32 frames = 1024;
        AudioBufferList list{1, {{2, 4096, buffer.data()}}};
        readStatus = ExtAudioFileRead(file, &frames, &list);
        total += frames;
        if (readStatus != noErr || frames == 0)
            break;
    }
    // Reads that end by themselves end at the length.
    if (readStatus == noErr) {
        EXPECT_EQ(total, lengthOf(file));
    }
    EXPECT_LE(total, lengthOf(file));
    if (framesRead)
        *framesRead = total;
    EXPECT_EQ(ExtAudioFileDispose(file), noErr);
    return noErr;
}

TEST(BrokenInput, MissingDirectoriesAndNonAudioAreRefusedWithTheirStatus)
{
    EXPECT_EQ(openAndDrain(fixtureDir() + "/no-such-file.mp3"), fnfErr);
    EXPECT_EQ(openAndDrain(fixtureDir() + "/no-such-dir/x.m4a"), fnfErr);
    EXPECT_EQ(openAndDrain(fixtureDir()), kAudioFileUnsupportedFileTypeError);
    EXPECT_EQ(openAndDrain(writeFile("notes.m4a", "just some text, not audio\n")), kAudioFileUnsupportedFileTypeError);
    const std::string picture = fixtureDir() + "/cover.png"; // a stream, but no audio one
    ASSERT_TRUE(test_files::ffmpegMake("-f lavfi -i color=c=red:s=16x16", "-frames:v 1", picture));
    EXPECT_EQ(openAndDrain(picture), kAudioFileUnsupportedFileTypeError);
    EXPECT_EQ(openAndDrain("http://example.com/song.mp3"), kAudioFileUnsupportedFileTypeError);
    EXPECT_EQ(ExtAudioFileOpenURL(fixtureDir(), nullptr), kAudioFileNotOpenError);
}

TEST(BrokenInput, TruncatedFilesFailOrEndCleanly)
{
    const TrackCase tracks[] = {
        {"cut.mp3", 44100, 2, 44100, "-c:a libmp3lame", kAudioFormatMPEGLayer3, false},
        {"cut.flac", 44100, 2, 44100, "-c:a flac", kAudioFormatFLAC, true},
        {"cut.ogg", 44100, 2, 44100, "-c:a libvorbis", kAudioFormatVorbis, false},
        {"cut-index-first.m4a", 44100, 2, 44100, "-c:a aac -movflags +faststart", kAudioFormatMPEG4AAC, false},
        {"cut-index-last.m4a", 44100, 2, 44100, "-c:a aac", kAudioFormatMPEG4AAC, false},
    };
    for (const TrackCase& track : tracks) {
        const std::string whole = readWhole(track.make());
        for (double keep : {0.5, 0.1}) {
            const std::string part = writeFile("part-" + std::string(track.file), whole.substr(0, size_t(whole.size() * keep)));
            SInt64 frames = 0;
            if (openAndDrain(part, &frames) != noErr)
                continue;
            EXPECT_LT(frames, 44100) << track.file << " keep " << keep;
            // A seek past what the file holds (not past what it states) lands at its end.
            ExtAudioFileRef file = openWithClient(part);
            EXPECT_EQ(ExtAudioFileSeek(file, frames + 10000), noErr);
            SInt64 at = -1;
            EXPECT_EQ(ExtAudioFileTell(file, &at), noErr);
            EXPECT_EQ(at, frames) << track.file << " keep " << keep;
            EXPECT_EQ(lengthOf(file), frames);
            ExtAudioFileDispose(file);
        }
    }
    // Without its index (at the end, cut off) an MP4 says nothing about where its audio is.
    const std::string whole = readWhole(tracks[4].make());
    EXPECT_NE(openAndDrain(writeFile("no-index.m4a", whole.substr(0, whole.size() / 2))), noErr);
}

TEST(BrokenInput, FileUrlsAreDecodedAndPlainPathsTakenAsTheyAre)
{
    const std::string dir = fixtureDir() + "/odd name #1";
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(kTracks[0].make(), dir + "/track 100%.wav");
    const std::string escaped = fixtureDir() + "/odd%20name%20%231/track%20100%25.wav";
    SInt64 frames = 0;
    EXPECT_EQ(openAndDrain("file://" + escaped, &frames), noErr);
    EXPECT_EQ(frames, kTracks[0].frames);
    EXPECT_EQ(openAndDrain(dir + "/track 100%.wav"), noErr);
    EXPECT_EQ(openAndDrain("file://otherhost" + escaped), kAudioFileUnsupportedFileTypeError);
    EXPECT_EQ(openAndDrain("file://" + fixtureDir() + "/odd%2"), kAudioFileUnsupportedFileTypeError);
}

TEST(BrokenInput, AFifoSwappedInNeverBlocksAndAbsurdStatedLengthsAndRatesAreNotBelieved)
{
    // The reader itself must refuse it: a check of the name beforehand can be raced.
    const std::string fifo = fixtureDir() + "/swapped.mp3";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::unique_ptr<AudioFileSource> source;
    OSStatus status = noErr;
    EXPECT_TRUE(hostile::returnsWithoutBlocking(fifo, [&] { status = FFmpegFileSource::open(fifo, source); }));
    EXPECT_EQ(status, kAudioFileUnsupportedFileTypeError);

    // Draining checks that the reads end at the stated length.
    SInt64 frames = 0;
    ASSERT_EQ(openAndDrain(writeFile("huge.wav", hostile::hugeRf64()), &frames), noErr);
    EXPECT_EQ(frames, 800 * 44100 / 8000) << "the stated length was believed";
    // Nor a rate no music has (the resampler's set-up would take seconds at every seek).
    std::string fast = hostile::hugeRf64();
    fast.replace(60, 4, std::string("\x00\xe1\xf5\x05", 4));  // 100 MHz
    EXPECT_EQ(FFmpegFileSource::open(writeFile("fast.wav", fast), source), kAudioFileUnsupportedDataFormatError);
}

} // namespace
