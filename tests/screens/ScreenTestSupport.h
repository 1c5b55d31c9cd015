#pragma once
// What the screen tests share: a player started as the application starts it, on a
// 320 x 480 navigation stack with the settings menu registered; a log of what the
// screens tell their delegate and post; and the user's gestures (tap, drag, keys).

#include "PlayerTestSupport.h"
#include "../NavigationSettle.h"
#include "../Screenshots.h"

#include "player/NavigationController.h"
#include "screens/SettingChangeDelegate.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QStringList>

class SettingTable;
class TableRow;
class ValueSlider;

// Logs "tell key=value" for every delegate call and writes the value into the live
// settings table, as the settings menu does.
class RecordingDelegate : public SettingChangeDelegate {
public:
    RecordingDelegate(QStringList& log, LiveTableRef table) : mLog(log), mTable(std::move(table)) {}
    void setSettingChangeValue(const QString& key, int value) override;

private:
    QStringList& mLog;
    LiveTableRef mTable;
};

class ScreenTest : public ::testing::Test {
protected:
    ScreenTest();
    ~ScreenTest() override;

    // Pushes `screen` (holding the player's live table, with the recording delegate)
    // without animation and lets it appear.
    template <typename Screen, typename Give>
    Screen* open(Give give)
    {
        auto* screen = new Screen;
        (screen->*give)(player->settingValueArray());
        screen->setDelegate(&delegate);
        stack->pushViewController(screen, false);
        QCoreApplication::processEvents();
        log.clear();
        engine->clearCalls();
        return screen;
    }

    int setting(const QString& key) const { return player->settingValueArray()->integerValue(key); }
    void setSetting(const QString& key, int value) { player->settingValueArray()->setIntegerValue(key, value); }
    // Saves a screenshot of the whole window (or of `widget`) as `name`.png.
    void screenshot(const QString& name, QWidget* widget = nullptr) { saveScreenshot(widget ? widget : stack->window(), name); }

    PlayerHarness h;
    RecordingEngine* engine = nullptr;
    TavoroViewController* player = nullptr;  // owned by the stack
    NavigationController* stack = nullptr;
    QStringList log;  // "tell ..." and "post Name k=v k=v" in the order they happened
    RecordingDelegate delegate;
};

// Taps (clicks) a widget in its middle, as a finger does.
void tap(QWidget* widget);
// Drags a slider's handle to the position of `level` and lets go.
void dragSlider(ValueSlider* slider, double level);
