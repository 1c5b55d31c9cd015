#include "tools/qbs-render/RenderOptions.h"

#include <charconv>
#include <climits>

const char* const kRenderUsage =
    "usage: qbs-render --effect NAME [options] INPUT OUTPUT.wav\n"
    "  NAME: bypass, eq, m3d, stage or ptc\n"
    "  --preset N           eq preset, 0..8\n"
    "  --bands g0,...,g6    eq gain indices, 0..24 each (written after the preset)\n"
    "  --surround N         m3d surround level, 0..10\n"
    "  --bass N             m3d bass level, 0..10\n"
    "  --stage-preset N     stage preset, 0..2\n"
    "  --speed S            ptc speed in percent, 50..200 (default 100)\n"
    "  --pitch P            ptc pitch in semitones, -6..6 (default 0)\n"
    "  --shift N            headroom shift given to the effect's Init (default 2)\n"
    "  --rate HZ            sample rate given to the effect's Init (default 44100)\n"
    "  --block FRAMES       frames per processing block, 1..65536 (default 1024)\n";

namespace {

bool parseInt(const std::string& text, long long low, long long high, int& value)
{
    long long v = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || ptr != end || v < low || v > high)
        return false;
    value = int(v);
    return true;
}

std::string range(long long low, long long high)
{
    return std::to_string(low) + ".." + std::to_string(high);
}

} // namespace

ParseResult parseRenderOptions(const std::vector<std::string>& args, RenderOptions& options, std::string& error)
{
    bool haveEffect = false;
    std::vector<std::string> positional;

    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "-h" || arg == "--help")
            return ParseResult::Help;
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "--") {
            if (arg == "--") {
                positional.insert(positional.end(), args.begin() + long(i) + 1, args.end());
                break;
            }
            positional.push_back(arg);
            continue;
        }
        std::string name = arg, value;
        bool inlineValue = false;
        if (size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inlineValue = true;
        }
        static const char* const known[] = {"--effect", "--preset", "--bands", "--surround", "--bass", "--stage-preset",
                                            "--speed", "--pitch", "--shift", "--rate", "--block"};
        bool isKnown = false;
        for (const char* k : known)
            isKnown = isKnown || name == k;
        if (!isKnown) {
            error = "unknown option '" + name + "'";
            return ParseResult::Error;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                error = "option '" + name + "' needs a value";
                return ParseResult::Error;
            }
            value = args[++i];
        }

        auto number = [&](long long low, long long high, int& target) {
            if (parseInt(value, low, high, target))
                return true;
            error = "option '" + name + "' takes a whole number in " + range(low, high) + ", not '" + value + "'";
            return false;
        };
        auto optionalNumber = [&](long long low, long long high, std::optional<int>& target) {
            int v = 0;
            if (!number(low, high, v))
                return false;
            target = v;
            return true;
        };

        bool ok = true;
        if (name == "--effect") {
            static const std::pair<const char*, RenderEffect> effects[] = {
                {"bypass", RenderEffect::Bypass}, {"eq", RenderEffect::Equalizer}, {"m3d", RenderEffect::Stereo3D},
                {"stage", RenderEffect::Stage}, {"ptc", RenderEffect::SpeedPitch}};
            haveEffect = false;
            for (const auto& [text, effect] : effects) {
                if (value == text) {
                    options.effect = effect;
                    haveEffect = true;
                }
            }
            if (!haveEffect) {
                error = "unknown effect '" + value + "' (bypass, eq, m3d, stage or ptc)";
                return ParseResult::Error;
            }
        } else if (name == "--preset") {
            ok = optionalNumber(0, 8, options.preset);
        } else if (name == "--bands") {
            std::array<int, 7> bands{};
            size_t start = 0;
            for (int b = 0; b < 7 && ok; ++b) {
                size_t comma = value.find(',', start);
                bool last = b == 6;
                if (last != (comma == std::string::npos)) {
                    ok = false;
                    break;
                }
                std::string part = value.substr(start, last ? std::string::npos : comma - start);
                ok = parseInt(part, 0, 24, bands[b]);
                start = comma + 1;
            }
            if (!ok)
                error = "option '--bands' takes seven comma-separated gain indices in 0..24, not '" + value + "'";
            else
                options.bands = bands;
        } else if (name == "--surround") {
            ok = optionalNumber(0, 10, options.surround);
        } else if (name == "--bass") {
            ok = optionalNumber(0, 10, options.bass);
        } else if (name == "--stage-preset") {
            ok = optionalNumber(0, 2, options.stagePreset);
        } else if (name == "--speed") {
            ok = number(50, 200, options.speed);
        } else if (name == "--pitch") {
            ok = number(-6, 6, options.pitch);
        } else if (name == "--shift") {
            // Any 16-bit value: the Init itself stores 1 for a shift other than 0, 1 or 2.
            ok = number(INT16_MIN, INT16_MAX, options.shift);
        } else if (name == "--rate") {
            ok = number(1, INT32_MAX, options.rate);
        } else if (name == "--block") {
            ok = number(1, 65536, options.blockFrames);
        }
        if (!ok)
            return ParseResult::Error;
    }

    if (!haveEffect) {
        error = "missing --effect NAME (bypass, eq, m3d, stage or ptc)";
        return ParseResult::Error;
    }
    if (positional.size() != 2) {
        error = positional.size() < 2 ? "expected INPUT and OUTPUT.wav" : "unexpected argument '" + positional[2] + "'";
        return ParseResult::Error;
    }
    options.input = positional[0];
    options.output = positional[1];
    return ParseResult::Ok;
}
