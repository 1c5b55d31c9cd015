// Screen readers and the keyboard in the launched application: every control on every
// screen has a name and a role of its own, the names of the state buttons follow the state,
// the list keeps the keyboard, and Ctrl+Q leaves through the save that closing the window
// makes.

#include "AppTestSupport.h"

#include "player/ListView.h"
#include "player/NavigationController.h"
#include "screens/EqualizerViewController.h"
#include "screens/SettingTable.h"
#include "screens/SettingViewController.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <algorithm>

namespace {

bool isControl(const QWidget* w)
{
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QAbstractSlider*>(w)
           || qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractItemView*>(w);
}

// The controls on screen under `root` (what a pointer or the keyboard can reach: the
// widgets above, and any other that takes the focus with Tab and holds no such control)
// that have no accessible name or no role of their own.
QString namelessControls(const QWidget* root)
{
    QStringList nameless;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const auto children = w->findChildren<QWidget*>();
        const bool control = isControl(w)
                             || ((w->focusPolicy() & Qt::TabFocus) && std::none_of(children.begin(), children.end(), isControl));
        if (!control || !w->isVisible() || qobject_cast<QScrollBar*>(w))
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        if (!a || a->text(QAccessible::Name).trimmed().isEmpty() || a->role() == QAccessible::Client
            || a->role() == QAccessible::NoRole)
            nameless.append(QString::fromLatin1(w->metaObject()->className()) + " " + w->objectName());
    }
    return nameless.join(", ");
}

QString spokenName(QWidget* w)
{
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
}

} // namespace

TEST(ScreenReader, EveryControlOnEveryScreenHasANameAndTheStateButtonsSayTheirState)
{
    LaunchedApp app(true, AudioCaptureOutput::Pacing::Manual);
    TavoroViewController& player = app.player();
    NavigationController* stack = app.delegate->navigationController();
    EXPECT_EQ(namelessControls(&player), QString()) << "the list screen";

    app.chooseSong(1);
    ASSERT_TRUE(waitFor([&] { return player.graphController().isPlaying(); }, 10));
    EXPECT_EQ(namelessControls(&player), QString()) << "the player screen";
    EXPECT_EQ(spokenName(player.playOrPauseToggleButton), "Pause");
    QTest::mouseClick(player.playOrPauseToggleButton, Qt::LeftButton);
    EXPECT_EQ(spokenName(player.playOrPauseToggleButton), "Play");
    EXPECT_EQ(spokenName(player.nextButton), "Next");
    QStringList repeat;
    for (int press = 0; press < 3; ++press) {
        repeat.append(spokenName(player.allOncerepeatButton));
        QTest::mouseClick(player.allOncerepeatButton, Qt::LeftButton);
    }
    EXPECT_EQ(repeat, QStringList({"Repeat: off", "Repeat: all", "Repeat: one"}));
    EXPECT_EQ(spokenName(player.shuffleModeButton), "Shuffle: off");
    QTest::mouseClick(player.shuffleModeButton, Qt::LeftButton);
    EXPECT_EQ(spokenName(player.shuffleModeButton), "Shuffle: on");
    // The modes go back to a fresh install's (the store is the next tests' too).
    QTest::mouseClick(player.shuffleModeButton, Qt::LeftButton);
    EXPECT_EQ(spokenName(player.allOncerepeatButton), "Repeat: off");

    QTest::mouseClick(player.settingButtonItem, Qt::LeftButton);
    auto* menu = qobject_cast<SettingViewController*>(stack->topViewController());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(namelessControls(stack), QString()) << "the settings menu";
    for (int section = 0; section < menu->settingTableView->numberOfSections() - 1; ++section) {
        menu->didSelectRowAtSection(section);
        QWidget* screen = stack->topViewController();
        EXPECT_EQ(namelessControls(stack), QString()) << screen->metaObject()->className();
        if (auto* eq = qobject_cast<EqualizerViewController*>(screen)) {
            QTest::mouseClick(eq->presetRow, Qt::LeftButton);
            EXPECT_EQ(namelessControls(app.delegate->window()), QString()) << "the preset sheet";
            QTest::keyClick(eq->presetPicker(), Qt::Key_Escape);
        }
        stack->popViewControllerAnimated(false);
    }
}

TEST(Keyboard, TheListKeepsTheKeyboardAndCtrlQLeavesThroughTheSaveOfAClosedWindow)
{
    LaunchedApp app(true, AudioCaptureOutput::Pacing::Manual);
    QWidget* window = app.delegate->window();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    // The list has the keyboard, and a list button clicked leaves it there.
    QWidget* table = app.player().listTable()->tableView();
    EXPECT_EQ(QApplication::focusWidget(), table);
    QTest::mouseClick(app.player().listTable()->TitleButton, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), table);
    int saves = 0;
    NotificationCenter::defaultCenter().addObserver(&saves, UIApplicationDidEnterBackgroundNotification, nullptr,
                                                    [&](const Notification&) { ++saves; });
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_Q,
                    Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(app.lifecycle->isInBackground());
    EXPECT_EQ(saves, 1);
    NotificationCenter::defaultCenter().removeObserver(&saves);
}
