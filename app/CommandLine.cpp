#include "app/CommandLine.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#ifndef TAVORO_VERSION
#define TAVORO_VERSION "0"
#endif

namespace {

constexpr char kUsage[] = "Usage: tavoro [OPTION] [FILE|URI|FOLDER]...\n";
constexpr char kNoDisplay[] =
    "tavoro: no display found; run with QT_QPA_PLATFORM=offscreen to play without a window\n";

constexpr char kHelp[] =
    "\n"
    "Tavoro plays the songs of your music directory (the XDG music directory,\n"
    "~/Music unless configured otherwise) through its own sound effects: a\n"
    "seven-band equalizer, 3D stereo, stage and speed/pitch.\n"
    "\n"
    "Songs, file:// URIs and folders given on the command line become the play\n"
    "queue in the order given (a folder's songs in album, disc and track order, then\n"
    "by name), and the first one plays at once. Songs outside the music directory\n"
    "play without joining the library. When a player already runs, the songs are\n"
    "handed to it, its window comes to the front, and this start ends.\n"
    "\n"
    "It keeps its library copy, settings and play modes in its data directory\n"
    "(~/.local/share/Tavoro).\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -v, --version  show the version and exit\n"
    "  --             what follows are files, even when it starts with '-'\n"
    "\n"
    "Keys:\n"
    "  Space              play or pause\n"
    "  Ctrl+Left/Right    previous or next song\n"
    "  Left/Right         seek 5 s back or forward (player screen)\n"
    "  Up/Down, Enter     move in a list, choose the row\n"
    "  Ctrl+1 ... Ctrl+5  songs, artists, genres, albums, playlists (list screen)\n"
    "  Escape             go back\n"
    "  Ctrl+F             search the library\n"
    "  Ctrl+Q             quit (the settings are saved)\n"
    "\n"
    "Qt's own options (-platform NAME, -display NAME, -style NAME, ...) are passed\n"
    "to Qt. Without a display, run with QT_QPA_PLATFORM=offscreen.\n";

// Qt's options that take the next argument as their value, and those that take none.
const char* const kQtOptionsWithValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                           "qwindowgeometry", "qwindowicon", "qwindowtitle", "display",
                                           "geometry", "style", "stylesheet", "session", "name", "title"};
const char* const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// The name of a Qt option without its dashes (Qt takes "-name" and "--name" alike).
const char* qtOptionName(const char* argument)
{
    return argument + (argument[1] == '-' ? 2 : 1);
}

bool isOneOf(const char* name, const char* const* names, size_t count, size_t nameLength)
{
    for (size_t i = 0; i < count; ++i) {
        if (std::strlen(names[i]) == nameLength && !std::strncmp(name, names[i], nameLength))
            return true;
    }
    return false;
}

bool nonEmptyVariable(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

bool waylandReachable()
{
    if (nonEmptyVariable("WAYLAND_DISPLAY"))
        return true;
    // A Wayland client looks for "wayland-0" in the runtime directory when the variable
    // is unset.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    return runtime && *runtime && ::stat((std::string(runtime) + "/wayland-0").c_str(), &info) == 0;
}

// Whether one platform of Qt's list (a name, optionally with ":options") has its display.
bool platformHasDisplay(const QByteArray& entry, bool displayGiven)
{
    const QByteArray name = entry.left(entry.indexOf(':')).trimmed();
    if (name == "xcb")
        return displayGiven || nonEmptyVariable("DISPLAY");
    if (name.startsWith("wayland"))
        return waylandReachable();
    return true;  // offscreen, minimal, vnc, eglfs, linuxfb...: no display server needed
}

QtMessageHandler g_previousHandler = nullptr;

void platformFailureHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg && message.contains(QLatin1String("platform plugin"))) {
        std::fputs(kNoDisplay, stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

CommandLine parseCommandLine(int argc, const char* const* argv)
{
    CommandLine line;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (optionsEnded || argument[0] != '-' || argument[1] == '\0') {
            line.operands.append(QByteArray(argument));
            continue;
        }
        if (!std::strcmp(argument, "--")) {
            optionsEnded = true;
        } else if (!std::strcmp(argument, "--version") || !std::strcmp(argument, "-v")) {
            line.answer = TerminalAnswer{std::string("tavoro ") + TAVORO_VERSION + "\n", 0, false};
            return line;
        } else if (!std::strcmp(argument, "--help") || !std::strcmp(argument, "-h")) {
            line.answer = TerminalAnswer{std::string(kUsage) + kHelp, 0, false};
            return line;
        } else {
            const char* name = qtOptionName(argument);
            const char* equals = std::strchr(name, '=');
            const size_t nameLength = equals ? size_t(equals - name) : std::strlen(name);
            if (isOneOf(name, kQtOptionsWithValue, std::size(kQtOptionsWithValue), nameLength)
                && (equals || i + 1 < argc)) {
                const QByteArray value = equals ? QByteArray(equals + 1) : QByteArray(argv[++i]);
                if (!std::strncmp(name, "platform", nameLength))
                    line.platform = value;
                else if (!std::strncmp(name, "display", nameLength))
                    line.displayGiven = true;
            } else if (!equals && isOneOf(name, kQtFlags, std::size(kQtFlags), nameLength)) {
                // Qt's own switch
            } else {
                line.answer = TerminalAnswer{std::string("tavoro: unknown option '") + argument + "'\n" + kUsage
                                                 + "Try 'tavoro --help' for more information.\n",
                                             2, true};
                return line;
            }
        }
    }
    return line;
}

std::string missingDisplayLine(const CommandLine& commandLine)
{
    QByteArray platforms = commandLine.platform;
    if (platforms.isEmpty())
        platforms = qgetenv("QT_QPA_PLATFORM");
    if (platforms.isEmpty()) {
        // Qt's own choice: X, or Wayland in a Wayland session.
        const bool any = commandLine.displayGiven || nonEmptyVariable("DISPLAY") || waylandReachable();
        return any ? std::string() : std::string(kNoDisplay);
    }
    // Qt tries the platforms of a ';'-separated list in turn.
    for (const QByteArray& entry : platforms.split(';')) {
        if (platformHasDisplay(entry, commandLine.displayGiven))
            return {};
    }
    return kNoDisplay;
}

void exitCleanlyWhenThePlatformFails(bool on)
{
    if (on)
        g_previousHandler = qInstallMessageHandler(platformFailureHandler);
    else
        qInstallMessageHandler(g_previousHandler);
}
