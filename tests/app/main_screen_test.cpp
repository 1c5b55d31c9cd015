// The main screen: the control strip, the flip between the screens, the taps that show and
// hide the control panel, the cover reflection and the artwork. (The settings button's menu
// is walked by the screen-reader and layout tests, the menu's rows by the screens' tests.)

#include "AppTestSupport.h"

#include "assets/ImageCatalog.h"
#include "player/MPVolumeView.h"
#include "player/PlayerImages.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QVariantAnimation>

namespace {

QList<QWidget*> controlStrips(TavoroViewController& player)
{
    QList<QWidget*> strips;
    for (QWidget* child : player.contentView->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->property("tag").toInt() == 10000000)
            strips.append(child);
    }
    return strips;
}

} // namespace

TEST(MainScreen, ControlStripAtItsFramesAndRebuiltWhole)
{
    LaunchedApp app(true, AudioCaptureOutput::Pacing::Manual);
    TavoroViewController& player = app.player();
    ASSERT_EQ(controlStrips(player).size(), 1);
    EXPECT_EQ(controlStrips(player)[0]->geometry(), QRect(0, 376, 320, 84));
    EXPECT_EQ(player.preButton->geometry(), QRect(50, 7, 40, 31));
    EXPECT_EQ(player.playOrPauseToggleButton->geometry(), QRect(140, 7, 40, 31));
    EXPECT_EQ(player.nextButton->geometry(), QRect(230, 7, 40, 31));
    EXPECT_EQ(player.volumeView->geometry(), QRect(0, 42, 320, 42));
    EXPECT_EQ(player.mpVolumeView->geometry(), QRect(20, 15, 280, 42));
    EXPECT_EQ(player.QuickStereoButton->geometry(), QRect(57, 309, 205, 50));
    EXPECT_EQ(imageNameOf(player.nextButton), "ff.png");
    EXPECT_EQ(imageNameOf(player.preButton), "rw.png");

    // Rebuilt while playing: one strip, one quick button, the play button showing "stop".
    app.chooseSong(1);
    ASSERT_TRUE(waitFor([&] { return player.graphController().isPlaying(); }, 10));
    NotificationCenter::defaultCenter().postNotification(FlipControlViewNotification, nullptr, {});
    EXPECT_EQ(controlStrips(player).size(), 1);
    int quickButtons = 0;
    for (QPushButton* b : player.contentView->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
        quickButtons += b->geometry() == QRect(57, 309, 205, 50);
    EXPECT_EQ(quickButtons, 1);
    EXPECT_EQ(imageNameOf(player.playOrPauseToggleButton), "stop.png");
    // The rebuilt play button still works.
    QTest::mouseClick(player.playOrPauseToggleButton, Qt::LeftButton);
    EXPECT_FALSE(player.graphController().isPlaying());
}

TEST(MainScreen, FlipsFromTheRightToThePlayerAndFromTheLeftBackWithAnAnimation)
{
    LaunchedApp app;
    TavoroViewController& player = app.player();
    player.flipInfoAction();
    EXPECT_TRUE(player.isPlayerViewOnScreen());
    EXPECT_EQ(player.lastFlipTransition(), UIViewAnimationTransitionFlipFromRight);
    EXPECT_TRUE(player.isFlipAnimating());
    EXPECT_TRUE(waitFor([&] { return !player.isFlipAnimating(); }, 2));

    QTest::mouseClick(player.listButtonItem, Qt::LeftButton);
    EXPECT_FALSE(player.isPlayerViewOnScreen());
    EXPECT_EQ(player.lastFlipTransition(), UIViewAnimationTransitionFlipFromLeft);
    EXPECT_TRUE(player.isFlipAnimating());
    // The flip lasts three quarters of a second: its animation's length, not a wall clock.
    const auto* flip = player.findChild<QVariantAnimation*>();
    ASSERT_NE(flip, nullptr);
    EXPECT_EQ(flip->duration(), 750);
}

TEST(MainScreen, TapsBetween45And370ShowAndHideThePanel)
{
    LaunchedApp app(true, AudioCaptureOutput::Pacing::Manual);
    TavoroViewController& player = app.player();
    player.flipInfoAction();
    QWidget* panel = player.PlayControlView;
    const auto tap = [&](int y) { player.touchesEnded({QPointF(160, y)}, player.contentView); };

    tap(100);
    EXPECT_TRUE(panel->isVisible()) << "a tap above 120 keeps the panel";
    tap(200);
    EXPECT_TRUE(panel->isHidden());
    tap(30);
    tap(380);
    EXPECT_TRUE(panel->isHidden()) << "taps outside 45..370 do not count";
    tap(45);
    EXPECT_TRUE(panel->isVisible());

    // A mouse click on the cover and a finger on the screen go the same way.
    QTest::mouseClick(player.coverArtView, Qt::LeftButton, {}, QPoint(100, 150));
    EXPECT_TRUE(panel->isHidden());
    QPointingDevice touchScreen("test touch", 1, QInputDevice::DeviceType::TouchScreen,
                                QPointingDevice::PointerType::Finger, QInputDevice::Capability::Position, 1, 0);
    QTest::touchEvent(player.contentView, &touchScreen).press(0, QPoint(160, 300));
    QTest::touchEvent(player.contentView, &touchScreen).release(0, QPoint(160, 300));
    EXPECT_TRUE(panel->isVisible());

    // Choosing a song counts the panel as hidden, so the next tap shows it.
    app.chooseSong(1);
    tap(200);
    EXPECT_TRUE(panel->isVisible());
    waitFor([&] { return !player.isFlipAnimating(); }, 2);
    saveScreenshot(app.delegate->window(), "player-view");
}

TEST(MainScreen, ReflectionIsTheCoverMirroredFadingToTransparent)
{
    LaunchedApp app(false);
    TavoroViewController& player = app.player();
    QLabel cover;
    cover.setGeometry(0, 0, 320, 320);
    QPixmap picture(320, 320);
    picture.fill(Qt::red);
    QPainter(&picture).fillRect(0, 300, 320, 20, Qt::blue);  // the cover's bottom edge
    cover.setPixmap(picture);

    EXPECT_TRUE(player.reflectedImage(&cover, 0).isNull());
    const QImage reflection = player.reflectedImage(&cover, 320);
    ASSERT_EQ(reflection.size(), QSize(320, 320));
    const auto at = [&](int y) { return QColor::fromRgba(reflection.pixel(160, y)); };
    // Where it meets the cover: the cover's bottom edge, fully opaque.
    EXPECT_EQ(at(0).alpha(), 255);
    EXPECT_EQ(at(0).rgb(), QColor(Qt::blue).rgb());
    EXPECT_GT(at(25).red(), 200);
    EXPECT_LT(at(25).blue(), 20);
    // Fading steadily to nothing at the far edge.
    int previous = 256;
    for (int y = 0; y < 320; y += 16) {
        EXPECT_LT(at(y).alpha(), previous);
        previous = at(y).alpha();
    }
    EXPECT_LE(at(319).alpha(), 1);
    // A shorter reflection mirrors only the part of the cover next to it.
    const QImage shortOne = player.reflectedImage(&cover, 20);
    EXPECT_GT(QColor::fromRgba(shortOne.pixel(0, 0)).blue(), 200);
    EXPECT_LT(QColor::fromRgba(shortOne.pixel(0, 0)).red(), 20);

    const QImage mask = CreateGradientImage(1, 4);
    EXPECT_EQ(qGray(mask.pixel(0, 3)), 32);   // near black at the bottom
    EXPECT_EQ(qGray(mask.pixel(0, 0)), 223);  // near white at the top
}

TEST(Artwork, EveryNamedImageHasASourceAndIsSharpAtDoubleDensity)
{
    const QStringList names = {
        "play.png", "stop.png", "ff.png", "rw.png", "repeat.png", "repeat_select.png", "track_repeat.png",
        "repeat_selection.png", "random.png", "random_select.png", "3dstereo.png", "3dstereo_select.png",
        "noimage_pro.png", "speaker.png", "title.png", "title_select.png", "artist.png", "artist_select.png",
        "album.png", "album_select.png", "genre.png", "genre_select.png", "playlist.png", "playlist_select.png",
        "list_bar.png", "upper.png", "down_popup.png", "popup_bar.png", "back.png", "back_select.png",
        "setting.png", "setting_select.png", "sync_button.png", "player_button.png", "setting_plus.png",
        "setting_plus_select.png", "setting_minus.png", "setting_minus_select.png"};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QImage image = renderImageNamed(name, QSize(40, 31), 2.0);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(80, 62));
        EXPECT_EQ(image.devicePixelRatio(), 2.0);
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                opaque += qAlpha(image.pixel(x, y)) > 0;
        EXPECT_GT(opaque, 40) << "drew nothing";
    }
    EXPECT_TRUE(renderImageNamed("nonexistent.png", QSize(10, 10), 1.0).isNull());
    // Twins differ: a selected button must look selected.
    EXPECT_NE(renderImageNamed("random.png", QSize(40, 31), 1.0), renderImageNamed("random_select.png", QSize(40, 31), 1.0));
}
