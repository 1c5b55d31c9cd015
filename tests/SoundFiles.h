#pragma once
// Sound (and picture) files made at test time: encoded by the ffmpeg command-line tool, or
// written as plain 16-bit WAV bytes when the samples must be known exactly.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace test_files {

// Runs ffmpeg with `input` (its input options, say "-f lavfi -i color=c=red") and output
// `options` into `path`; true when ffmpeg succeeded. ffmpeg prints its own errors. Only
// `path` is quoted for the shell.
inline bool ffmpegMake(const std::string& input, const std::string& options, const std::string& path)
{
    const std::string command = "ffmpeg -nostdin -loglevel error -y " + input + " " + options + " '" + path + "'";
    return std::system(command.c_str()) == 0;
}

// A 440 Hz tone at 44100 Hz of `seconds`, made with the output `options` (codec, channels,
// further inputs) into `path`.
inline bool makeTone(const std::string& path, double seconds, const std::string& options)
{
    return ffmpegMake("-f lavfi -i sine=duration=" + std::to_string(seconds), options, path);
}

// Little-endian fields of a WAV header.
inline std::string le32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
inline std::string le16(uint16_t v) { return {char(v), char(v >> 8)}; }

// A WAV file with the plain 44-byte header of `samples`, interleaved `channels` wide at `rate`.
inline std::string wavBytes(const std::vector<int16_t>& samples, int rate, int channels)
{
    const uint32_t size = uint32_t(samples.size() * 2);
    std::string bytes = "RIFF" + le32(36 + size) + "WAVEfmt " + le32(16) + le16(1) + le16(uint16_t(channels))
        + le32(uint32_t(rate)) + le32(uint32_t(rate * channels * 2)) + le16(uint16_t(channels * 2)) + le16(16)
        + "data" + le32(size);
    for (int16_t v : samples)
        bytes += le16(uint16_t(v));
    return bytes;
}

} // namespace test_files
