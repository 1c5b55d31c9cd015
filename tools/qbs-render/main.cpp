// qbs-render: runs one sound effect over an audio file, offline, block by block, exactly as
// the player's engine would, so that an effect can be heard and measured.

#include "tools/qbs-render/EffectRunner.h"
#include "tools/qbs-render/InputAudio.h"
#include "tools/qbs-render/RenderOptions.h"
#include "tools/qbs-render/WavFile.h"

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

std::vector<int16_t> toStereo(const PcmAudio& audio)
{
    if (audio.channels == 2)
        return audio.samples;
    std::vector<int16_t> stereo(audio.samples.size() * 2);
    for (size_t i = 0; i < audio.samples.size(); ++i)
        stereo[2 * i] = stereo[2 * i + 1] = audio.samples[i];
    return stereo;
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

    PcmAudio input;
    if (!loadInputAudio(options.input, input, error))
        return fail(error);

    prepareEffect(options);
    PcmAudio output;
    output.sampleRate = input.sampleRate;
    output.channels = 2;
    output.samples = processBlocks(options, toStereo(input));
    if (options.effect == RenderEffect::SpeedPitch)
        std::fputc('\n', stdout); // ends the effect's own trace line

    if (!writeWav(options.output, output, error))
        return fail(error);
    return 0;
}
