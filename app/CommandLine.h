#pragma once
// The terminal answers of the program: --help and --version. Every other argument is left
// to Qt (for example -platform). The player itself has no options of its own.

#include <optional>
#include <string>

// The text to print and the exit status when the arguments ask for help or the version,
// or nothing when the player should start.
struct TerminalAnswer {
    std::string text;
    int status = 0;
};
std::optional<TerminalAnswer> terminalAnswer(int argc, const char* const* argv);
