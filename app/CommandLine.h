#pragma once
// The program's command line: `tavoro [OPTION] [FILE|URI|FOLDER]...`.
//
// The player's own options are --help and --version; Qt's own options (-platform NAME,
// -display NAME, -style NAME, -reverse, ...) are left in place for Qt to take. Every other
// argument that starts with '-' is an error, unless it follows "--". What remains are the
// songs to play: paths, file URIs and folders, kept as the bytes they were given in.
//
// The check of the display Qt is about to use is here too: without one Qt would abort
// with a core dump, so the program says so in one line and ends first.

#include <QByteArray>
#include <QList>

#include <optional>
#include <string>

// Text for the terminal and the exit status: help and version on standard output with
// status 0, a usage error on standard error with status 2.
struct TerminalAnswer {
    std::string text;
    int status = 0;
    bool toStandardError = false;
};

struct CommandLine {
    std::optional<TerminalAnswer> answer;  // set: print it and end
    QList<QByteArray> operands;            // the songs, URIs and folders, in order
    QByteArray platform;                   // the value of Qt's -platform option, if given
    bool displayGiven = false;             // Qt's -display option was given
};

CommandLine parseCommandLine(int argc, const char* const* argv);

// The line to print when the window system Qt would use cannot be reached (no X or
// Wayland display in the environment), empty when there is one or the platform needs none
// (offscreen, minimal, a frame buffer...). Reads QT_QPA_PLATFORM, DISPLAY, WAYLAND_DISPLAY
// and XDG_RUNTIME_DIR.
std::string missingDisplayLine(const CommandLine& commandLine);

// The same line, for Qt's own fatal error when its platform plugin cannot start (a
// display named in the environment but not reachable): installed around the creation of
// the application object, it prints the line and ends the process with status 1 instead
// of the abort.
void exitCleanlyWhenThePlatformFails(bool on);
