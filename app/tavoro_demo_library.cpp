// tavoro-demo-library: writes the demo library into a directory, or, with --check, answers
// through its exit status whether a directory already holds music.
//
//   tavoro-demo-library DIR           make the demo library in DIR (kept when already made)
//   tavoro-demo-library --check DIR   exit 0 when DIR holds songs, 1 when not
//   tavoro-demo-library --songs N --seconds S DIR

#include "app/DemoLibrary.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    DemoLibraryOptions options;
    QString directory;
    bool check = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--check"))
            check = true;
        else if (!std::strcmp(argv[i], "--songs") && i + 1 < argc)
            options.songs = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            options.seconds = std::atof(argv[++i]);
        else
            directory = QString::fromLocal8Bit(argv[i]);
    }
    if (directory.isEmpty() || options.songs <= 0 || options.seconds <= 0) {
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
