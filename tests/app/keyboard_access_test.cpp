// Screen readers and the keyboard in the launched application.

#include "AppTestSupport.h"

#include "player/ListView.h"
#include "player/NavigationController.h"
#include "player/PlayerImages.h"
#include "screens/EqualizerViewController.h"
#include "screens/SettingTable.h"
#include "screens/SettingViewController.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

namespace {

bool isControl(const QWidget* w)
{
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QAbstractSlider*>(w)
           || qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractItemView*>(w);
}

// The controls on screen under `root` (those above, and any other widget that takes Tab
// and holds none) that lack an accessible name or a role of their own.
QString namelessControls(const QWidget* root)
{
    QStringList nameless;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const auto inside = w->findChildren<QWidget*>();
        if (!w->isVisible() || qobject_cast<QScrollBar*>(w)
            || !(isControl(w) || ((w->focusPolicy() & Qt::TabFocus) && std::none_of(inside.begin(), inside.end(), isControl))))
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        if (a->text(QAccessible::Name).trimmed().isEmpty() || a->role() == QAccessible::Client)
            nameless.append(QString::fromLatin1(w->metaObject()->className()) + " " + w->objectName());
    }
    return nameless.join(", ");
}

QString spoken(QWidget* w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); }

} // namespace

TEST(ScreenReader, EveryControlOnEveryScreenHasANameAndTheStateButtonsSayTheirState)
{
    LaunchedApp app(true, AudioCaptureOutput::Pacing::Manual);
    TavoroViewController& player = app.player();
    NavigationController* stack = app.delegate->navigationController();
    EXPECT_EQ(namelessControls(&player), "") << "the list screen";
    app.chooseSong(1);
    ASSERT_TRUE(waitFor([&] { return player.graphController().isPlaying(); }, 10));
    EXPECT_EQ(namelessControls(&player), "") << "the player screen";

    // Each press: the name before it. Shuffle and repeat end as a fresh install has them.
    QStringList said;
    for (QPushButton* b : {player.playOrPauseToggleButton, player.playOrPauseToggleButton, player.shuffleModeButton,
                           player.shuffleModeButton, player.allOncerepeatButton, player.allOncerepeatButton,
                           player.allOncerepeatButton}) {
        said.append(spoken(b));
        QTest::mouseClick(b, Qt::LeftButton);
    }
    EXPECT_EQ(said, QStringList({"Pause", "Play", "Shuffle: off", "Shuffle: on", "Repeat: off", "Repeat: all",
                                 "Repeat: one"}));

    // The settings button shows its highlight while held, then opens the menu.
    QTest::mousePress(player.settingButtonItem, Qt::LeftButton);
    EXPECT_EQ(imageNameOf(player.settingButtonItem), "setting_select.png");
    QTest::mouseRelease(player.settingButtonItem, Qt::LeftButton);
    EXPECT_EQ(imageNameOf(player.settingButtonItem), "setting.png");
    auto* menu = qobject_cast<SettingViewController*>(stack->topViewController());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(namelessControls(stack), "") << "the settings menu";
    for (int section = 0; section < menu->settingTableView->numberOfSections() - 1; ++section) {
        menu->didSelectRowAtSection(section);
        EXPECT_EQ(namelessControls(stack), "") << stack->topViewController()->metaObject()->className();
        if (auto* eq = qobject_cast<EqualizerViewController*>(stack->topViewController())) {
            QTest::mouseClick(eq->presetRow, Qt::LeftButton);
            EXPECT_EQ(namelessControls(app.delegate->window()), "") << "the preset sheet";
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
    QWidget* table = app.player().listTable()->tableView();
    EXPECT_EQ(QApplication::focusWidget(), table);
    QTest::mouseClick(app.player().listTable()->TitleButton, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), table);
    QTest::keyClick(table, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(app.player().listChangeFlag(), uint32_t(ListKindArtists));
    EXPECT_EQ(QApplication::focusWidget(), table);

    int saves = 0;
    NotificationCenter::defaultCenter().addObserver(&saves, UIApplicationDidEnterBackgroundNotification, nullptr,
                                                    [&](const Notification&) { ++saves; });
    QTest::keyClick(table, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(saves, 1);
    NotificationCenter::defaultCenter().removeObserver(&saves);
}
