#pragma once
// The command line of the offline effects tool:
//   qbs-render --effect NAME [options] INPUT OUTPUT.wav

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class RenderEffect { Bypass, Equalizer, Stereo3D, Stage, SpeedPitch };

struct RenderOptions {
    RenderEffect effect = RenderEffect::Bypass;
    std::optional<int> preset;                // equalizer preset row, 0..8
    std::optional<std::array<int, 7>> bands;  // equalizer gain indices, 0..24 each
    std::optional<int> surround;              // 3D stereo levels, 0..10
    std::optional<int> bass;
    std::optional<int> stagePreset;           // 0..2
    int speed = 100;                          // percent, 50..200
    int pitch = 0;                            // semitones, -6..6
    int shift = 2;                            // headroom shift handed to the Init
    int rate = 44100;                         // sample rate handed to the Init
    int blockFrames = 1024;
    std::string input;
    std::string output;
};

enum class ParseResult { Ok, Help, Error };

// Parses argv. On Error, `error` holds one line that says what is wrong.
ParseResult parseRenderOptions(const std::vector<std::string>& args, RenderOptions& options, std::string& error);

extern const char* const kRenderUsage;
