#pragma once
// The navigation stack of the application: a bar with a back control and the title of the
// top screen, the stack of screens under it (only the top one is shown), and one modal
// screen that covers the whole stack, bar included, while it is presented.
//
// Screens are plain widgets; those derived from ViewController also learn when they are
// about to appear or disappear, and find their navigation controller. The stack owns the
// screens it holds: a popped or dismissed screen is deleted once it is off the screen.
// Escape goes back: it dismisses the modal screen, or else pops the top screen.
//
// Threads: main thread only, like every widget.

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

class NavigationController;
class QLabel;
class QPushButton;

// A screen that takes part in the stack's appearance calls.
class ViewController : public QWidget {
    Q_OBJECT

public:
    explicit ViewController(QWidget* parent = nullptr) : QWidget(parent) {}

    // The stack this screen is on (as a pushed or a modal screen), or null.
    NavigationController* navigationController() const;

    // The title shown in the navigation bar and on the next screen's back control.
    QString title() const { return windowTitle(); }
    void setTitle(const QString& text) { setWindowTitle(text); }

    virtual void viewWillAppear(bool /*animated*/) {}
    virtual void viewDidAppear(bool /*animated*/) {}
    virtual void viewWillDisappear(bool /*animated*/) {}
};

class NavigationController : public QWidget {
    Q_OBJECT

public:
    // The height of the navigation bar in layout points.
    static constexpr int kBarHeight = 44;
    // How long a push, pop, presentation or dismissal slides when animated.
    static constexpr int kSlideMilliseconds = 300;

    explicit NavigationController(QWidget* rootViewController, QWidget* parent = nullptr);

    void pushViewController(QWidget* viewController, bool animated);
    // Pops the top screen unless it is the root; answers whether one was popped.
    bool popViewControllerAnimated(bool animated);
    void popToRootViewControllerAnimated(bool animated);

    // Shows `viewController` over the whole stack until it is dismissed. A second
    // presentation replaces the first.
    void presentModalViewController(QWidget* viewController, bool animated);
    void dismissModalViewControllerAnimated(bool animated);

    QWidget* topViewController() const { return mStack.isEmpty() ? nullptr : mStack.last().data(); }
    // The modal screen if one is presented, or else the top screen.
    QWidget* visibleViewController() const;
    QWidget* modalViewController() const { return mModal.data(); }
    QList<QWidget*> viewControllers() const;

    void setNavigationBarHidden(bool hidden, bool animated);
    bool isNavigationBarHidden() const;
    QPushButton* backButton() const { return mBackButton; }

    // The stack that `widget` or one of its ancestors is on, or null.
    static NavigationController* of(const QWidget* widget);

signals:
    // After a screen has become the visible one (push, pop, presentation, dismissal).
    void didShowViewController(QWidget* viewController);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void layoutScreens();
    void refreshBar();
    QRect contentRect() const;
    // Shows `incoming` in place of `outgoing`, sliding from the right (forward) or the
    // left (back) when animated; `discard` is deleted once it is off the screen.
    void transition(QWidget* outgoing, QWidget* incoming, bool forward, bool animated, QWidget* discard);

    QWidget* mBar = nullptr;
    QPushButton* mBackButton = nullptr;
    QLabel* mTitle = nullptr;
    QWidget* mContent = nullptr;
    QList<QPointer<QWidget>> mStack;
    QPointer<QWidget> mModal;
};
