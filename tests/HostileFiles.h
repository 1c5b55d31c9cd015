#pragma once
// Files a music folder may hold that try to make the player reach the network, block it,
// or overflow what it computes: streaming playlists and a manifest under audio names that
// point at a local listener, a FIFO in a song's place, and an RF64 WAV stating 2^62 frames.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hostile {

// A TCP listener on 127.0.0.1 that accepts, counts and at once closes every connection
// (so a client that reached it fails instead of waiting for an answer).
class LocalListener {
public:
    LocalListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(m_fd, 16) == 0
            && ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] {
            while (!m_stop.load()) {
                pollfd waiting{m_fd, POLLIN, 0};
                if (::poll(&waiting, 1, 20) == 1) {
                    const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
                    if (client >= 0) {
                        m_connections.fetch_add(1);
                        ::close(client);
                    }
                }
            }
        });
    }
    ~LocalListener()
    {
        m_stop.store(true);
        m_thread.join();
        ::close(m_fd);
    }
    int port() const { return m_port; }
    int connections() const { return m_connections.load(); }

private:
    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
};

// File name and contents of files that name URLs on the listener: a streaming playlist
// under an audio name and under none, and a manifest under an audio name.
inline std::vector<std::pair<std::string, std::string>> streamingFiles(int port)
{
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    const std::string playlist = "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n" + base + "/segment.ts\n#EXT-X-ENDLIST\n";
    const std::string manifest =
        "<?xml version=\"1.0\"?>\n<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" type=\"static\" "
        "mediaPresentationDuration=\"PT10S\" minBufferTime=\"PT1S\" profiles=\"urn:mpeg:dash:profile:isoff-on-demand:2011\">"
        "<Period><AdaptationSet mimeType=\"audio/mp4\"><Representation id=\"a\" bandwidth=\"64000\" codecs=\"mp4a.40.2\">"
        "<BaseURL>" + base + "/audio.m4a</BaseURL></Representation></AdaptationSet></Period></MPD>\n";
    return {{"track.mp3", playlist}, {"track-no-extension", playlist}, {"manifest.m4a", manifest}};
}

// Runs `open` on this thread and answers whether it returned by itself: after a few
// seconds a helper thread opens the other end of the FIFO `fifo`, which releases an
// opener blocked on it (on this thread or on one it waits for).
inline bool returnsWithoutBlocking(const std::string& fifo, const std::function<void()>& open)
{
    std::atomic<bool> done{false};
    std::atomic<bool> released{false};
    std::thread releaser([&] {
        for (int i = 0; i < 500 && !done.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        while (!done.load()) {
            const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (writer >= 0) {  // someone holds the reading end
                released.store(true);
                ::close(writer);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    open();
    done.store(true);
    releaser.join();
    return !released.load();
}

// An RF64 WAV of 800 frames (8 kHz mono, 16 bits) whose header states 2^62 frames.
inline std::string hugeRf64()
{
    const auto le = [](uint64_t value, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i)
            out += char((value >> (8 * i)) & 0xff);
        return out;
    };
    const uint64_t frames = uint64_t(1) << 62;
    return "RF64" + le(0xffffffffu, 4) + "WAVE" + "ds64" + le(28, 4) + le(frames + 100, 8) + le(frames, 8)
         + le(frames, 8) + le(0, 4) + "fmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(8000, 4) + le(16000, 4)
         + le(2, 2) + le(16, 2) + "data" + le(0xffffffffu, 4) + std::string(1600, '\x10');
}

} // namespace hostile
