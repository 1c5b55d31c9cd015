// qbs-render: runs one sound effect over an audio file, offline, block by block, exactly as
// the player's engine would, so that an effect can be heard and measured. Input is read,
// processed and written one block at a time, so memory stays the same whatever the length.

#include "tools/qbs-render/EffectRunner.h"
#include "tools/qbs-render/InputAudio.h"
#include "tools/qbs-render/RenderOptions.h"
#include "tools/qbs-render/WavFile.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kExitBadInput = 2;

int fail(const std::string& message)
{
    std::fprintf(stderr, "qbs-render: %s\n", message.c_str());
    return kExitBadInput;
}

// Reads the input in runs of whole blocks (about 64K frames, so that reading and writing
// take a few system calls per second of audio), runs the effect over each block of the run
// and writes the run. The last block is processed with its own smaller count. Speed/pitch
// output blocks start as silence, so frames the block has not delivered yet come out as
// zeros.
bool render(const RenderOptions& options, InputAudio& input, WavWriter& output, std::string& error)
{
    const long block = options.blockFrames;
    const long run = block * std::max(1L, 65536 / block);
    std::vector<int16_t> in(size_t(run) * 2), out(size_t(run) * 2);
    for (;;) {
        const long frames = input.read(in.data(), run, error);
        if (frames < 0)
            return false;
        if (options.effect == RenderEffect::SpeedPitch)
            std::fill(out.begin(), out.begin() + 2 * frames, int16_t{0});
        for (long at = 0; at < frames; at += block) {
            const long count = std::min(block, frames - at);
            processBlock(options, out.data() + 2 * at, in.data() + 2 * at, int32_t(count * 2));
        }
        if (frames > 0 && !output.write(out.data(), frames, error))
            return false;
        if (frames < run)
            return true;
    }
}

} // namespace

int main(int argc, char** argv)
{
    RenderOptions options;
    std::string error;
    switch (parseRenderOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    case ParseResult::Help:
        std::fputs(kRenderUsage, stdout);
        return 0;
    case ParseResult::Error:
        return fail(error + " (see --help)");
    case ParseResult::Ok:
        break;
    }

    InputAudio input;
    if (!input.open(options.input, error))
        return fail(error);

    prepareEffect(options);
    WavWriter output;
    if (!output.open(options.output, input.sampleRate(), 2, error))
        return fail(error);
    const bool rendered = render(options, input, output, error);
    if (options.effect == RenderEffect::SpeedPitch)
        std::fputc('\n', stdout); // ends the effect's own trace line
    if (!rendered || !output.finish(error))
        return fail(error); // the writer removes its unfinished file
    return 0;
}
