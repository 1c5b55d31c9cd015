// tavoro-demo-library: writes the demo library into a directory, or, with --check, answers
// through its exit status whether a directory already holds music.
//
//   tavoro-demo-library DIR           make the demo library in DIR (kept when already made)
//   tavoro-demo-library --check DIR   exit 0 when DIR holds songs, 1 when not
//   tavoro-demo-library --songs N --seconds S DIR
//   tavoro-demo-library -- -DIR      a folder whose name starts with a dash

#include "app/DemoLibrary.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    DemoLibraryOptions options;
    QString directory;
    bool check = false;
    bool unknownOption = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--check"))
            check = true;
        else if (!std::strcmp(argv[i], "--songs") && i + 1 < argc)
            options.songs = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            options.seconds = std::atof(argv[++i]);
        else if (argv[i][0] == '-' && std::strcmp(argv[i], "--"))
            unknownOption = true;  // --help and typos print the usage instead of naming a folder
        else if (!std::strcmp(argv[i], "--") && i + 1 < argc)
            directory = QString::fromLocal8Bit(argv[++i]);
        else
            directory = QString::fromLocal8Bit(argv[i]);
    }
    if (unknownOption || directory.isEmpty() || options.songs <= 0 || options.seconds <= 0) {
        std::fprintf(stderr, "usage: tavoro-demo-library [--check] [--songs N] [--seconds S] DIR\n");
        return 2;
    }
    if (check)
        return directoryHoldsMusic(directory) ? 0 : 1;
    // Covers are drawn with QPainter, which needs a GUI application (any platform will do).
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QString error;
    const QStringList songs = generateDemoLibrary(directory, options, &error);
    if (songs.isEmpty()) {
        std::fprintf(stderr, "tavoro-demo-library: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("demo library: %lld songs in %s\n", qlonglong(songs.size()), qPrintable(directory));
    return 0;
}
