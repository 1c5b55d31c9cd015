#pragma once
// Screenshots the widget suites leave for a reader of the tests (output, not checks), all in
// one folder: build/test-screens, or the folder TAVORO_TEST_SCREENS names.

#include <QDir>
#include <QWidget>

inline QString screenshotDirectory()
{
    const QByteArray chosen = qgetenv("TAVORO_TEST_SCREENS");
    const QString directory = chosen.isEmpty() ? QStringLiteral(TAVORO_TEST_SCREENS_DIR) : QString::fromLocal8Bit(chosen);
    QDir().mkpath(directory);
    return directory;
}

// Saves what `widget` shows as `name`.png there; whether it was written.
inline bool saveScreenshot(QWidget* widget, const QString& name)
{
    return widget->grab().save(screenshotDirectory() + '/' + name + ".png");
}
