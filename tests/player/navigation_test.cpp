// The navigation stack as the screens use it: push and back, the modal screen over the
// whole stack, Escape, and the appearance calls a screen relies on to refresh itself.

#include "../NavigationSettle.h"

#include <QPushButton>

#include <gtest/gtest.h>

namespace {

class CountingScreen : public ViewController {
public:
    explicit CountingScreen(const QString& title) { setTitle(title); }
    int willAppear = 0, didAppear = 0, willDisappear = 0;
    void viewWillAppear(bool) override { ++willAppear; }
    void viewDidAppear(bool) override { ++didAppear; }
    void viewWillDisappear(bool) override { ++willDisappear; }
};

}  // namespace

TEST(NavigationController, PushModalBackAndEscapeKeepTheRootAndDeleteWhatLeaves)
{
    auto* root = new CountingScreen(QStringLiteral("Player"));
    NavigationController stack(root);
    stack.resize(320, 480);
    stack.show();

    QPointer<CountingScreen> menu = new CountingScreen(QStringLiteral("Settings"));
    stack.pushViewController(menu, true);
    EXPECT_EQ(stack.topViewController(), menu.data());
    EXPECT_EQ(menu->navigationController(), &stack);
    settle();
    EXPECT_EQ(menu->didAppear, 1);
    EXPECT_EQ(root->willDisappear, 1);
    EXPECT_TRUE(root->isHidden());
    EXPECT_TRUE(stack.backButton()->isVisible());
    EXPECT_EQ(stack.backButton()->text(), QStringLiteral("Player"));

    QPointer<CountingScreen> modal = new CountingScreen(QStringLiteral("G.EQ Control"));
    stack.presentModalViewController(modal, true);
    EXPECT_EQ(stack.visibleViewController(), modal.data());
    EXPECT_EQ(stack.topViewController(), menu.data()) << "a modal screen is not pushed";
    settle();
    EXPECT_EQ(modal->geometry(), stack.rect());
    QTest::keyClick(modal, Qt::Key_Escape);
    settle();
    EXPECT_TRUE(modal.isNull());
    EXPECT_EQ(stack.topViewController(), menu.data()) << "Escape on a modal screen dismisses it, nothing more";
    EXPECT_EQ(menu->willAppear, 2);

    QPointer<CountingScreen> eq = new CountingScreen(QStringLiteral("G.EQ Control"));
    stack.pushViewController(eq, false);
    QTest::keyClick(eq, Qt::Key_Escape);
    settle();
    EXPECT_TRUE(eq.isNull()) << "a popped screen is deleted";
    EXPECT_EQ(stack.topViewController(), menu.data());
    EXPECT_EQ(menu->willAppear, 3);

    QTest::mouseClick(stack.backButton(), Qt::LeftButton);
    settle();
    EXPECT_TRUE(menu.isNull());
    EXPECT_EQ(stack.viewControllers(), QList<QWidget*>{root});
    EXPECT_FALSE(stack.popViewControllerAnimated(true)) << "the root is never popped";
    EXPECT_FALSE(stack.backButton()->isVisible());
}
