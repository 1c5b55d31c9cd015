// The main screen's own pieces: the control strip with the transport buttons and the system
// volume control, the 3D quick button, the flip between the list and the player, the taps that show and hide the control panel, and the cover reflection.
//
// Threads: main thread only.

#include "player/TavoroViewController.h"

#include "player/ListView.h"
#include "player/MPVolumeView.h"
#include "player/NavigationController.h"
#include "player/PlayerImages.h"
#include "player/PlayerLayout.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QSlider>
#include <QStackedWidget>
#include <QTouchEvent>
#include <QVariantAnimation>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kControlStripTag = 10000000;
constexpr int kFlipMilliseconds = 750;

// Plays a flip over the controller's view: the outgoing picture turns about the vertical
// axis until it is edge-on, then the incoming one turns on from the other side. The
// pictures are taken once at the start (the cached views) and dropped when done.
class FlipOverlay final : public QWidget {
public:
    explicit FlipOverlay(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("flipOverlay"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }
    void begin(QPixmap from, QPixmap to, bool fromLeft)
    {
        mFrom = std::move(from);
        mTo = std::move(to);
        mFromLeft = fromLeft;
        mProgress = 0.0;
        setGeometry(parentWidget()->rect());
        show();
        raise();
    }
    void setProgress(qreal progress)
    {
        mProgress = progress;
        update();
    }
    // Gone from the screen, and the pictures let go.
    void finish()
    {
        hide();
        mFrom = QPixmap();
        mTo = QPixmap();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        // From the left: the left edge comes toward the viewer, so the turn is clockwise
        // seen from above; from the right, the other way.
        const qreal sign = mFromLeft ? 1.0 : -1.0;
        const qreal angle = mProgress * 180.0;
        const bool firstHalf = angle < 90.0;
        const qreal shown = firstHalf ? angle : angle - 180.0;
        QTransform turn;
        turn.translate(width() / 2.0, height() / 2.0);
        turn.rotate(sign * shown, Qt::YAxis);
        turn.translate(-width() / 2.0, -height() / 2.0);
        painter.setTransform(turn);
        painter.drawPixmap(0, 0, firstHalf ? mFrom : mTo);
    }

private:
    QPixmap mFrom, mTo;
    bool mFromLeft = true;
    qreal mProgress = 0.0;
};

} // namespace

BitmapContext::~BitmapContext() = default;

void TavoroViewController::createContentViewControlView(int stripY, int buttonY)
{
    // The heights are the caller's; the widths and the rest come from the screen's layout.
    const PlayerScreenFrames frames = playerScreenFrames(size());
    auto* strip = new QWidget(contentView);
    strip->setGeometry(frames.strip.x(), stripY, frames.strip.width(), frames.strip.height());
    strip->setAttribute(Qt::WA_TranslucentBackground);
    strip->setProperty("tag", kControlStripTag);
    PlayDownImage = new QLabel(strip);
    PlayDownImage->setGeometry(strip->rect());
    makeBarImageView(PlayDownImage);
    setViewImage(PlayDownImage, QStringLiteral("down_popup.png"));

    const auto transportButton = [&](const QRect& frame, int tag) {
        auto* button = new QPushButton(strip);
        button->setGeometry(frame);
        button->setFlat(true);
        button->setFocusPolicy(Qt::TabFocus);
        button->setProperty("tag", tag);
        connect(button, &QPushButton::clicked, this, [this, tag] { buttonPressedAction(tag); });
        return button;
    };
    preButton = transportButton(frames.previous, 2);
    setButtonImage(preButton, QStringLiteral("rw.png"));
    playOrPauseToggleButton = transportButton(frames.play, 1);
    nextButton = transportButton(frames.next, 3);
    setButtonImage(nextButton, QStringLiteral("ff.png"));

    volumeView = new QWidget(strip);
    volumeView->setGeometry(frames.volumeView);
    mpVolumeView = new MPVolumeView(volumeView);
    mpVolumeView->setGeometry(frames.volumeControl);
    // A strip rebuilt while docked keeps the volume control hidden.
    volumeView->setHidden(HwDockingState != 0);
    strip->show();

    // One quick button at a time: a rebuilt strip replaces the earlier button rather than
    // stacking a second one under it.
    delete QuickStereoButton;
    QuickStereoButton = new QPushButton(contentView);
    QuickStereoButton->setGeometry(frames.quickButton.x(), buttonY, frames.quickButton.width(),
                                   frames.quickButton.height());
    QuickStereoButton->setFlat(true);
    QuickStereoButton->setFocusPolicy(Qt::TabFocus);
    setButtonImage(QuickStereoButton, QStringLiteral("3dstereo_select.png"));
    connect(QuickStereoButton, &QPushButton::clicked, this, [this] { QuickStereoMenu(); });
    QuickStereoButton->show();
    strip->raise();
}

void TavoroViewController::createControlStrip()
{
    const PlayerScreenFrames frames = playerScreenFrames(size());
    createContentViewControlView(frames.strip.y(), frames.quickButton.y());
}

QWidget* TavoroViewController::controlStrip() const
{
    for (QWidget* child : contentView->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->property("tag").toInt() == kControlStripTag)
            return child;
    }
    return nullptr;
}

void TavoroViewController::FlipControlView(const Notification&)
{
    for (QWidget* child : contentView->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->property("tag").toInt() == kControlStripTag)
            delete child;
    }
    createControlStrip();
    setPlayOrPauseButtonImage(mGraphController->isPlaying());
}

namespace {

// Moves an image view and, when its size changed, draws its named image again at the new
// size, so that it is drawn for the size rather than scaled to it.
void placeImage(QLabel* view, const QRect& frame)
{
    if (view->geometry() == frame && view->pixmap().deviceIndependentSize().toSize() == frame.size())
        return;
    view->setGeometry(frame);
    setViewImage(view, imageNameOf(view));
}

}  // namespace

void TavoroViewController::layoutViews()
{
    mScreens->setGeometry(rect());
    // The pages of the stack follow it only when they are shown: both are placed here.
    listView->setGeometry(rect());
    contentView->setGeometry(rect());
    if (mListTable)
        mListTable->setGeometry(rect());
    infoButtonItem->setGeometry(listScreenFrames(size()).infoButton);

    const PlayerScreenFrames f = playerScreenFrames(size());
    placeImage(PlayTopImage, f.topBar);
    currentTitle->setGeometry(f.title);
    currentArtist->setGeometry(f.artist);
    currentAlbum->setGeometry(f.album);
    listButtonItem->setGeometry(f.listButton);
    settingButtonItem->setGeometry(f.settingButton);

    PlayControlView->setGeometry(f.panel);
    placeImage(PlaySeconDImage, QRect(QPoint(), f.panel.size()));
    currentduration->setGeometry(f.elapsed);
    playbackTimeLabel->setGeometry(f.remaining);
    playbackSlider->setGeometry(f.slider);
    currentPlayCountLabel->setGeometry(f.playCount);
    allOncerepeatButton->setGeometry(f.repeatButton);
    shuffleModeButton->setGeometry(f.shuffleButton);

    const bool coverResized = coverArtView->size() != f.cover.size();
    coverArtView->setGeometry(f.cover);
    reflectionView->setGeometry(f.reflection);
    LyricsView->setGeometry(f.cover);
    if (coverResized)
        showArtwork();

    if (QWidget* strip = controlStrip()) {
        strip->setGeometry(f.strip);
        placeImage(PlayDownImage, QRect(QPoint(), f.strip.size()));
        preButton->setGeometry(f.previous);
        playOrPauseToggleButton->setGeometry(f.play);
        nextButton->setGeometry(f.next);
        volumeView->setGeometry(f.volumeView);
        mpVolumeView->setGeometry(f.volumeControl);
    }
    if (QuickStereoButton)
        QuickStereoButton->setGeometry(f.quickButton);
    if (auto* overlay = findChild<QWidget*>(QStringLiteral("flipOverlay"), Qt::FindDirectChildrenOnly))
        overlay->setGeometry(rect());
}

void TavoroViewController::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutViews();
}

void TavoroViewController::viewWillAppear(bool /*animated*/)
{
    // The player's screens carry their own bars: the stack's bar is hidden whenever the
    // player comes back on top (after the settings, say), not only at start-up.
    if (NavigationController* stack = navigationController())
        stack->setNavigationBarHidden(true, false);
}

void TavoroViewController::flipInfoAction()
{
    const bool playerOnScreen = isPlayerViewOnScreen();
    mLastFlip = playerOnScreen ? UIViewAnimationTransitionFlipFromLeft : UIViewAnimationTransitionFlipFromRight;

    if (!isVisible()) {
        // Nothing to see: change the screens without the picture work.
        mScreens->setCurrentWidget(playerOnScreen ? listView : contentView);
        emit viewFlipped(isPlayerViewOnScreen());
        return;
    }
    const QPixmap from = mScreens->grab();
    mScreens->setCurrentWidget(playerOnScreen ? listView : contentView);
    emit viewFlipped(isPlayerViewOnScreen());
    const QPixmap to = mScreens->grab();

    // One overlay and one animation serve every flip; a flip still playing is cut short.
    if (!mFlipAnimation) {
        auto* overlay = new FlipOverlay(this);
        auto* animation = new QVariantAnimation(this);
        animation->setDuration(kFlipMilliseconds);
        animation->setStartValue(0.0);
        animation->setEndValue(1.0);
        animation->setEasingCurve(QEasingCurve::InOutQuad);
        connect(animation, &QVariantAnimation::valueChanged, overlay,
                [overlay](const QVariant& value) { overlay->setProgress(value.toReal()); });
        connect(animation, &QVariantAnimation::finished, overlay, &FlipOverlay::finish);
        mFlipAnimation = animation;
    }
    mFlipAnimation->stop();
    auto* overlay = static_cast<FlipOverlay*>(findChild<QWidget*>(QStringLiteral("flipOverlay"), Qt::FindDirectChildrenOnly));
    overlay->begin(from, to, mLastFlip == UIViewAnimationTransitionFlipFromLeft);
    mFlipAnimation->start();
}

bool TavoroViewController::isFlipAnimating() const
{
    return mFlipAnimation && mFlipAnimation->state() == QAbstractAnimation::Running;
}

void TavoroViewController::touchesEnded(const QList<QPointF>& touches, const QWidget* view)
{
    // Between the top bar and the control strip (45 to 370 on a 460-high screen).
    const PlayerScreenFrames frames = playerScreenFrames(size());
    for (const QPointF& touch : touches) {
        const QPointF location = view == contentView ? touch : contentView->mapFromGlobal(view->mapToGlobal(touch));
        if (location.y() < frames.tapTop || location.y() > frames.tapBottom)
            continue;
        if (PlayControlViewHiddenFlag) {
            PlayControlView->setHidden(false);
            PlayControlViewHiddenFlag = false;
        } else if (!PlayControlView->isHidden() && location.y() >= frames.panelHideTop) {
            PlayControlView->setHidden(true);
            PlayControlViewHiddenFlag = true;
        }
    }
}

bool TavoroViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != contentView)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonRelease: {
        // Releases that no control took (a button keeps its own) reach the player screen.
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            touchesEnded({mouse->position()}, contentView);
        return false;
    }
    case QEvent::TouchBegin:
        event->accept();
        return true;
    case QEvent::TouchEnd:
    case QEvent::TouchUpdate: {
        QList<QPointF> ended;
        for (const QEventPoint& point : static_cast<QTouchEvent*>(event)->points()) {
            if (point.state() == QEventPoint::Released)
                ended.append(point.position());
        }
        if (!ended.isEmpty())
            touchesEnded(ended, contentView);
        event->accept();
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

std::unique_ptr<BitmapContext> MyCreateBitmapContext(int pixelsWide, int pixelsHigh)
{
    auto context = std::make_unique<BitmapContext>();
    // 8 bits per component, premultiplied alpha first in a 32-bit little-endian word: the
    // row length is the image's own.
    context->image = QImage(pixelsWide, pixelsHigh, QImage::Format_ARGB32_Premultiplied);
    if (context->image.isNull())
        return nullptr;
    context->image.fill(Qt::transparent);
    context->painter = std::make_unique<QPainter>(&context->image);
    return context;
}

QImage CreateGradientImage(int pixelsWide, int pixelsHigh)
{
    QImage gray(pixelsWide, pixelsHigh, QImage::Format_Grayscale8);
    if (gray.isNull())
        return gray;
    // Gray 0.0 at the bottom edge to 1.0 at the top edge, sampled at the pixel centres;
    // rows are stored top first.
    for (int row = 0; row < pixelsHigh; ++row) {
        const double fromBottom = (pixelsHigh - row - 0.5) / pixelsHigh;
        std::memset(gray.scanLine(row), int(fromBottom * 255.0 + 0.5), size_t(pixelsWide));
    }
    return gray;
}

QImage TavoroViewController::reflectedImage(const QLabel* view, int height) const
{
    if (height <= 0)
        return {};
    const int width = view->width();
    std::unique_ptr<BitmapContext> context = MyCreateBitmapContext(width, height);
    if (!context)
        return {};
    QPainter& painter = *context->painter;

    // The picture upside down: the row of the cover's bottom edge comes first.
    painter.save();
    painter.translate(0, view->height());
    painter.scale(1.0, -1.0);
    painter.drawPixmap(QRect(0, 0, width, view->height()), view->pixmap());
    painter.restore();

    // The mask, stretched across the width, keeps as much of each row as it is white.
    const QImage gradient = CreateGradientImage(1, height);
    QImage mask(1, height, QImage::Format_ARGB32_Premultiplied);
    for (int row = 0; row < height; ++row)
        mask.setPixel(0, row, qRgba(0, 0, 0, qGray(gradient.pixel(0, row))));
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.drawImage(QRect(0, 0, width, height), mask);
    painter.end();
    return std::move(context->image);
}
