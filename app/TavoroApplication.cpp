#include "app/TavoroApplication.h"

#include "app/TavoroAppDelegate.h"
#include "assets/ImageCatalog.h"
#include "player/AudioSessionSetup.h"
#include "screens/SettingViewController.h"

#include <QApplication>
#include <QIcon>

void configureTavoroApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Tavoro"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVORO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("tavoro"));
    QApplication::setWindowIcon(QIcon(applicationIconPath()));
    registerSettingsMenu();
}

void installAudioSessionSetUp(TavoroAppDelegate& delegate)
{
    delegate.audioSessionSetUp = [](TavoroAppDelegate* context) { SetUpAudioSession(context); };
}
