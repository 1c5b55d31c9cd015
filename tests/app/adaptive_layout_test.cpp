// The window at phone and desktop sizes: the navigation bar follows the screen on top, and
// at every size each screen fits the window, the list's tab bar spans the bottom edge and
// the cover keeps clear of the controls. Screenshots of every screen and size are saved.

#include "AppTestSupport.h"
#include "../NavigationSettle.h"

#include "player/ListView.h"
#include "player/ListViewIndexBar.h"
#include "player/MPVolumeView.h"
#include "player/NavigationController.h"
#include "screens/SettingViewController.h"

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

QRect inWindow(const QWidget* w)
{
    return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size());
}

// The widgets of the player's window that show outside it. Rows of a scrolling table are
// cut by the table (the user scrolls to them), and so are two frames that run past their
// parent by design, with all they hold: the reflection below the cover and the volume
// control (42 points high, 15 down a 42-point strip). All else must lie inside the window.
std::string widgetsOutside(QWidget* window, const TavoroViewController& player)
{
    const QList<const QWidget*> overrunning{player.reflectionView, player.mpVolumeView};
    QStringList outside;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->isWindow() || w->geometry().isEmpty())
            continue;
        QRect shown = inWindow(w);
        for (const QWidget* a = w; a->parentWidget() != window; a = a->parentWidget()) {
            const QWidget* parent = a->parentWidget();
            if (overrunning.contains(a) || qobject_cast<const QAbstractScrollArea*>(parent->parentWidget()))
                shown &= inWindow(parent);
        }
        if (!shown.isEmpty() && !window->rect().contains(shown))
            outside << QStringLiteral("%1 \"%2\"").arg(w->metaObject()->className(), w->objectName());
    }
    return outside.join("; ").toStdString();
}

// The five list buttons side by side along the whole bottom edge of the window.
void expectTabBarAlongTheBottom(ListView& list, QSize window)
{
    const QPushButton* buttons[] = {list.TitleButton, list.ArtistButton, list.GenreButton, list.AlbumButton,
                                    list.PlayListButton};
    int left = 0;
    for (const QPushButton* b : buttons) {
        const QRect r = inWindow(b);
        EXPECT_TRUE(b->isVisible() && r.left() == left && r.bottom() == window.height() - 1)
            << b->accessibleName().toStdString();
        left = r.right() + 1;
    }
    EXPECT_EQ(left, window.width());
    EXPECT_EQ(inWindow(list.tableView()).bottom() + 1, inWindow(list.TitleButton).top()) << "the list fills the rest";
}

// Lets the flip between the list and the player finish, then the stack's animations.
void settle(TavoroViewController& player)
{
    waitFor([&] { return !player.isFlipAnimating(); }, 2);
    ::settle();
}

} // namespace

TEST(Layout, EveryScreenFitsPhoneAndDesktopWindowsAndThePlayerHidesTheBarAfterTheSettings)
{
    LaunchedApp app(true, AudioCaptureOutput::Pacing::Manual);
    TavoroViewController& player = app.player();
    NavigationController* stack = app.delegate->navigationController();
    QWidget* window = app.delegate->window();
    app.chooseSong(1);
    settle(player);
    player.flipInfoAction();
    player.ListTableButtonchange(0);  // the titles, with their letter index
    settle(player);
    // A phone turned on its side is shorter than the window's smallest size: its shell
    // imposes the size regardless, as the test does here.
    window->setMinimumSize(0, 0);

    for (const QSize size : {QSize(320, 460), QSize(360, 720), QSize(720, 360), QSize(1024, 700)}) {
        const QString suffix = QStringLiteral("-%1x%2").arg(size.width()).arg(size.height());
        SCOPED_TRACE(suffix.toStdString());
        window->resize(size);
        QCoreApplication::processEvents();
        ASSERT_EQ(window->size(), size);

        ASSERT_FALSE(player.isPlayerViewOnScreen());
        expectTabBarAlongTheBottom(*player.listTable(), size);
        EXPECT_TRUE(player.listTable()->indexBar()->isVisible());
        EXPECT_EQ(inWindow(player.listTable()->indexBar()).right(), size.width() - 1) << "the index on the right edge";
        EXPECT_EQ(widgetsOutside(window, player), "") << "list";
        saveScreenshot(window, "layout-list" + suffix);

        player.flipInfoAction();
        settle(player);
        const QRect cover = inWindow(player.coverArtView);
        const QRect strip = inWindow(player.playOrPauseToggleButton->parentWidget());
        EXPECT_FALSE(cover.intersects(inWindow(player.QuickStereoButton)));
        EXPECT_FALSE(cover.intersects(strip));
        EXPECT_EQ(strip.bottom(), size.height() - 1) << "the control strip along the bottom";
        EXPECT_EQ(widgetsOutside(window, player), "") << "player";
        saveScreenshot(window, "layout-player" + suffix);

        QTest::mouseClick(player.settingButtonItem, Qt::LeftButton);
        settle(player);
        auto* menu = qobject_cast<SettingViewController*>(stack->topViewController());
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(inWindow(menu), QRect(0, NavigationController::kBarHeight, size.width(),
                                        size.height() - NavigationController::kBarHeight));
        EXPECT_EQ(widgetsOutside(window, player), "") << "settings menu";
        saveScreenshot(window, "layout-settings" + suffix);

        menu->didSelectRowAtSection(1);  // the equalizer
        settle(player);
        EXPECT_EQ(inWindow(stack->topViewController()), window->rect());
        EXPECT_EQ(widgetsOutside(window, player), "") << "equalizer";
        saveScreenshot(window, "layout-equalizer" + suffix);

        // Back to the menu, and with the bar's back button to the player: the bar goes.
        stack->popViewControllerAnimated(false);
        QTest::mouseClick(stack->backButton(), Qt::LeftButton);
        settle(player);
        ASSERT_EQ(stack->topViewController(), &player);
        EXPECT_TRUE(stack->isNavigationBarHidden());
        EXPECT_EQ(inWindow(&player), window->rect());
        EXPECT_EQ(widgetsOutside(window, player), "") << "player after the settings";
        QTest::mouseClick(player.listButtonItem, Qt::LeftButton);
        settle(player);
    }
}
