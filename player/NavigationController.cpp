#include "player/NavigationController.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPropertyAnimation>
#include <QPushButton>

namespace {

ViewController* asViewController(QWidget* widget)
{
    return qobject_cast<ViewController*>(widget);
}

void willAppear(QWidget* widget, bool animated)
{
    if (auto* screen = asViewController(widget))
        screen->viewWillAppear(animated);
}

void didAppear(QWidget* widget, bool animated)
{
    if (auto* screen = asViewController(widget))
        screen->viewDidAppear(animated);
}

void willDisappear(QWidget* widget, bool animated)
{
    if (auto* screen = asViewController(widget))
        screen->viewWillDisappear(animated);
}

}  // namespace

NavigationController* ViewController::navigationController() const
{
    return NavigationController::of(this);
}

NavigationController::NavigationController(QWidget* rootViewController, QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    mBar = new QWidget(this);
    mBar->setObjectName(QStringLiteral("navigationBar"));
    mBar->setAutoFillBackground(true);
    QPalette barPalette = mBar->palette();
    barPalette.setColor(QPalette::Window, QColor(20, 20, 20, 230));
    barPalette.setColor(QPalette::WindowText, Qt::white);
    mBar->setPalette(barPalette);
    auto* barLayout = new QHBoxLayout(mBar);
    barLayout->setContentsMargins(6, 4, 6, 4);
    mBackButton = new QPushButton(mBar);
    mBackButton->setObjectName(QStringLiteral("navigationBackButton"));
    mBackButton->setAccessibleName(QStringLiteral("Back"));
    connect(mBackButton, &QPushButton::clicked, this, [this] { popViewControllerAnimated(true); });
    mTitle = new QLabel(mBar);
    mTitle->setAlignment(Qt::AlignCenter);
    QFont titleFont = mTitle->font();
    titleFont.setBold(true);
    mTitle->setFont(titleFont);
    barLayout->addWidget(mBackButton, 0);
    barLayout->addWidget(mTitle, 1);
    barLayout->addSpacing(mBackButton->sizeHint().width());

    mContent = new QWidget(this);
    mContent->setObjectName(QStringLiteral("navigationContent"));
    if (rootViewController) {
        rootViewController->setParent(mContent);
        mStack.append(rootViewController);
        rootViewController->show();
    }
    layoutScreens();
    refreshBar();
}

NavigationController* NavigationController::of(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (auto* stack = qobject_cast<NavigationController*>(const_cast<QWidget*>(w)))
            return stack;
    }
    return nullptr;
}

QList<QWidget*> NavigationController::viewControllers() const
{
    QList<QWidget*> screens;
    for (const auto& screen : mStack) {
        if (screen)
            screens.append(screen.data());
    }
    return screens;
}

QWidget* NavigationController::visibleViewController() const
{
    return mModal ? mModal.data() : topViewController();
}

void NavigationController::pushViewController(QWidget* viewController, bool animated)
{
    if (!viewController || mStack.contains(viewController))
        return;
    QWidget* outgoing = topViewController();
    viewController->setParent(mContent);
    mStack.append(viewController);
    refreshBar();
    transition(outgoing, viewController, true, animated, nullptr);
}

bool NavigationController::popViewControllerAnimated(bool animated)
{
    if (mStack.size() < 2)
        return false;
    QWidget* outgoing = mStack.takeLast().data();
    refreshBar();
    transition(outgoing, topViewController(), false, animated, outgoing);
    return true;
}

void NavigationController::popToRootViewControllerAnimated(bool animated)
{
    if (mStack.size() < 2)
        return;
    QWidget* outgoing = mStack.takeLast().data();
    while (mStack.size() > 1) {
        if (QWidget* between = mStack.takeLast().data())
            between->deleteLater();
    }
    refreshBar();
    transition(outgoing, topViewController(), false, animated, outgoing);
}

void NavigationController::presentModalViewController(QWidget* viewController, bool animated)
{
    if (!viewController)
        return;
    if (mModal && mModal != viewController) {
        willDisappear(mModal, false);
        mModal->hide();
        mModal->deleteLater();
    }
    mModal = viewController;
    viewController->setParent(this);
    viewController->setGeometry(rect());
    willAppear(viewController, animated);
    viewController->show();
    viewController->raise();
    viewController->setFocus();
    if (animated) {
        auto* slide = new QPropertyAnimation(viewController, "pos", viewController);
        slide->setDuration(kSlideMilliseconds);
        slide->setStartValue(QPoint(0, height()));
        slide->setEndValue(QPoint(0, 0));
        slide->setEasingCurve(QEasingCurve::OutCubic);
        connect(slide, &QPropertyAnimation::finished, this, [this, viewController] {
            didAppear(viewController, true);
            emit didShowViewController(viewController);
        });
        slide->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        didAppear(viewController, false);
        emit didShowViewController(viewController);
    }
}

void NavigationController::dismissModalViewControllerAnimated(bool animated)
{
    if (!mModal)
        return;
    QWidget* outgoing = mModal.data();
    mModal.clear();
    willDisappear(outgoing, animated);
    QWidget* top = topViewController();
    willAppear(top, animated);
    auto finish = [this, outgoing, top, animated] {
        outgoing->hide();
        outgoing->deleteLater();
        didAppear(top, animated);
        emit didShowViewController(top);
    };
    if (animated) {
        auto* slide = new QPropertyAnimation(outgoing, "pos", outgoing);
        slide->setDuration(kSlideMilliseconds);
        slide->setStartValue(outgoing->pos());
        slide->setEndValue(QPoint(0, height()));
        slide->setEasingCurve(QEasingCurve::InCubic);
        connect(slide, &QPropertyAnimation::finished, this, finish);
        slide->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        finish();
    }
    setFocus();
}

void NavigationController::transition(QWidget* outgoing, QWidget* incoming, bool forward, bool animated,
                                      QWidget* discard)
{
    if (outgoing)
        willDisappear(outgoing, animated);
    if (!incoming)
        return;
    willAppear(incoming, animated);
    const QRect area = mContent->rect();
    incoming->setGeometry(area);
    incoming->show();
    incoming->raise();
    if (mModal)
        mModal->raise();
    auto finish = [this, outgoing, incoming, animated, discard] {
        if (outgoing && outgoing != incoming)
            outgoing->hide();
        if (discard)
            discard->deleteLater();
        didAppear(incoming, animated);
        emit didShowViewController(incoming);
    };
    if (!animated || !outgoing) {
        finish();
        return;
    }
    // Forward: the new screen slides in from the right over the old one. Back: the old
    // screen slides out to the right, uncovering the one below.
    QWidget* moving = forward ? incoming : outgoing;
    if (!forward)
        outgoing->raise();
    auto* slide = new QPropertyAnimation(moving, "pos", moving);
    slide->setDuration(kSlideMilliseconds);
    slide->setStartValue(forward ? QPoint(area.width(), 0) : QPoint(0, 0));
    slide->setEndValue(forward ? QPoint(0, 0) : QPoint(area.width(), 0));
    slide->setEasingCurve(QEasingCurve::OutCubic);
    connect(slide, &QPropertyAnimation::finished, this, finish);
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

void NavigationController::setNavigationBarHidden(bool hidden, bool /*animated*/)
{
    if (mBar->isHidden() == hidden)
        return;
    mBar->setHidden(hidden);
    layoutScreens();
}

bool NavigationController::isNavigationBarHidden() const
{
    return mBar->isHidden();
}

QRect NavigationController::contentRect() const
{
    const int top = mBar->isHidden() ? 0 : kBarHeight;
    return QRect(0, top, width(), qMax(0, height() - top));
}

void NavigationController::layoutScreens()
{
    mBar->setGeometry(0, 0, width(), kBarHeight);
    mContent->setGeometry(contentRect());
    for (const auto& screen : mStack) {
        if (screen)
            screen->setGeometry(mContent->rect());
    }
    if (mModal)
        mModal->setGeometry(rect());
}

void NavigationController::refreshBar()
{
    QWidget* top = topViewController();
    mTitle->setText(top ? top->windowTitle() : QString());
    const bool canGoBack = mStack.size() > 1;
    mBackButton->setVisible(canGoBack);
    if (canGoBack) {
        const QString previous = mStack.at(mStack.size() - 2)->windowTitle();
        mBackButton->setText(previous.isEmpty() ? QStringLiteral("Back") : previous);
    }
}

void NavigationController::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutScreens();
}

void NavigationController::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (mModal)
            dismissModalViewControllerAnimated(true);
        else
            popViewControllerAnimated(true);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
