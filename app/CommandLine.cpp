#include "app/CommandLine.h"

#include <cstring>

#ifndef TAVORO_VERSION
#define TAVORO_VERSION "0"
#endif

std::optional<TerminalAnswer> terminalAnswer(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--version") || !std::strcmp(argv[i], "-v"))
            return TerminalAnswer{std::string("tavoro ") + TAVORO_VERSION + "\n", 0};
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            return TerminalAnswer{
                "Usage: tavoro [--help] [--version]\n"
                "\n"
                "Tavoro plays the songs of your music directory (the XDG music directory,\n"
                "~/Music unless configured otherwise) through its own sound effects: a\n"
                "seven-band equalizer, 3D stereo, stage and speed/pitch.\n"
                "\n"
                "It keeps its library copy, settings and play modes in its data directory\n"
                "(~/.local/share/Tavoro). A second start brings the running window to the front.\n"
                "\n"
                "  -h, --help     show this help and exit\n"
                "  -v, --version  show the version and exit\n",
                0};
        }
    }
    return std::nullopt;
}
