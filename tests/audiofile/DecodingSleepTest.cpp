// The reader's decoding thread sleeps while nothing reads, and reads that drain the ring
// wake it in time. Whether the thread ran is read from the kernel's count of its context
// switches, so any polling shows, whatever its period.

#include "AudioFixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

using namespace audiofile_test;

namespace {

std::set<std::string> threadIds()
{
    std::set<std::string> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ids.insert(entry.path().filename().string());
    return ids;
}

// Voluntary plus involuntary context switches of one thread of this process.
long switchesOf(const std::string& tid)
{
    std::ifstream status("/proc/self/task/" + tid + "/status");
    long total = 0;
    for (std::string line; std::getline(status, line);)
        if (line.find("ctxt_switches:") != std::string::npos)
            total += std::stol(line.substr(line.find(':') + 1));
    return total;
}

// Waits until the thread has stopped running (its count holds still for 200 ms), then
// answers how often it ran in the next second.
long runsInASecondOnceSettled(const std::string& tid)
{
    for (int tries = 0; tries < 50; ++tries) {
        const long before = switchesOf(tid);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (switchesOf(tid) == before)
            break;
    }
    const long before = switchesOf(tid);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    return switchesOf(tid) - before;
}

} // namespace

TEST(DecodingSleep, TheThreadSleepsWhileNothingReadsAndReadsThatDrainTheRingWakeIt)
{
    const int frames = 44100 * 6; // three rings' worth
    const std::string path = makeTrack("sleep.wav", 44100, 2, frames, "-c:a pcm_s16le");
    const std::vector<int16_t> expected = decodeAll(path);
    ASSERT_EQ(expected.size(), size_t(frames) * 2);

    const std::set<std::string> before = threadIds();
    ExtAudioFileRef file = openWithClient(path);
    ASSERT_NE(file, nullptr);
    std::vector<std::string> started;
    for (const std::string& id : threadIds())
        if (!before.count(id))
            started.push_back(id);
    ASSERT_EQ(started.size(), 1u) << "the reader starts one decoding thread";
    const std::string decoder = started.front();

    EXPECT_EQ(runsInASecondOnceSettled(decoder), 0) << "an unread reader's thread woke";

    // Reads as the render thread makes them: never waiting, so only the reads' own wake-up
    // brings more than the first ring's worth.
    ExtAudioFileWaitForDecoding(false);
    std::vector<int16_t> got, block(1024 * 2);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!ExtAudioFileReadEnded(file) && std::chrono::steady_clock::now() < giveUp) {
        UInt32 want = 1024;
        AudioBufferList list{1, {{2, UInt32(block.size() * 2), block.data()}}};
        ASSERT_EQ(ExtAudioFileRead(file, &want, &list), noErr);
        got.insert(got.end(), block.begin(), block.begin() + long(want) * 2);
        if (want < 1024)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ExtAudioFileWaitForDecoding(true);
    EXPECT_EQ(got, expected) << "the reads did not get the whole track in order";

    EXPECT_EQ(runsInASecondOnceSettled(decoder), 0) << "the thread woke at the end of the track";
    ExtAudioFileDispose(file);
}
