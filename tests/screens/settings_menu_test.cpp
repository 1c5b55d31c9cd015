// The settings menu as the player opens it: its rows, the screens it pushes as their
// delegate, "Contact Us", the way back, and a change kept by the store once the
// application leaves the foreground.

#include "ScreenTestSupport.h"

#include "screens/EqualizerViewController.h"
#include "screens/SettingTable.h"
#include "screens/SettingViewController.h"
#include "screens/ValueSlider.h"
#include "screens/VolumeLevelingViewController.h"
#include "screens/OnOffSwitch.h"

#include "library/DTMusicModelController.h"
#include "library/Setting.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace {

// Receives the addresses the desktop would open in the browser.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

class SettingsMenu : public ScreenTest {
protected:
    SettingViewController* openMenu()
    {
        player->flipEQAction();
        settle();
        return qobject_cast<SettingViewController*>(stack->topViewController());
    }
};

QPushButton* alertButton(QMessageBox* alert, const QString& text)
{
    for (QAbstractButton* b : alert->buttons()) {
        if (b->text() == text)
            return qobject_cast<QPushButton*>(b);
    }
    return nullptr;
}

}  // namespace

TEST_F(SettingsMenu, SevenRowsEachOpeningItsScreenAsItsDelegate)
{
    SettingViewController* menu = openMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), "Settings");
    EXPECT_FALSE(stack->isNavigationBarHidden());
    EXPECT_EQ(menu->settings(), player->settingValueArray()) << "the live table itself, not a copy";
    QStringList texts;
    for (TableRow* row : menu->settingTableView->rows()) {
        texts << row->text();
        EXPECT_TRUE(row->hasDisclosureIndicator());
    }
    EXPECT_EQ(texts, QStringList({"3D.STEREO Control", "G.EQ Control", "ON.STAGE Control", "SPEED/PITCH Control",
                                  "Docking Mode", "Volume Leveling", "Contact Us"}));
    screenshot("settings_menu");

    for (int section = 0; section < 6; ++section) {
        SCOPED_TRACE(texts[section].toStdString());
        tap(menu->settingTableView->rows()[section]);
        settle();
        auto* screen = qobject_cast<EffectScreen*>(stack->topViewController());
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(screen->TitleLabel->text(), texts[section]) << "the screen's own title";
        EXPECT_EQ(screen->delegate(), menu);
        EXPECT_TRUE(stack->isNavigationBarHidden()) << "an effect screen shows its own title bar";
        if (section == 1)
            screenshot("equalizer_opened");
        if (auto* leveling = qobject_cast<VolumeLevelingViewController*>(screen)) {
            EXPECT_TRUE(leveling->mode() == 1 && leveling->clippingSwitch->isOn());  // the defaults
            tap(leveling->modeRow(3));
            tap(leveling->clippingSwitch);
            EXPECT_EQ(player->settingValueArray()->integerValue(VolumeLevelingKey), 3);
            EXPECT_EQ(player->settingValueArray()->integerValue(PreventClippingKey), 1);
            screenshot("volume_leveling");
        }
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : screen, Qt::Key_Escape);
        settle();
        EXPECT_EQ(stack->topViewController(), menu);
        EXPECT_FALSE(stack->isNavigationBarHidden()) << "the menu shows the bar again";
    }

    // The menu's own back button returns to the player.
    tap(menu->backButton);
    settle();
    EXPECT_EQ(stack->topViewController(), player);
}

TEST_F(SettingsMenu, ContactUsShowsOnlyTheAlertAndOpensThePages)
{
    UrlRecorder browser;
    QDesktopServices::setUrlHandler("https", &browser, "open");
    SettingViewController* menu = openMenu();
    const QVariantMap before = player->settingValueArray()->dictionary();

    QTest::keyClick(menu->settingTableView->rows().last(), Qt::Key_Return);
    QMessageBox* alert = menu->contactAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->windowTitle(), "Contact Us");
    EXPECT_EQ(alert->informativeText(),
              "Please send an email if this app has any defects.\n\nIt would be awesome if you like us and follow us. ");
    EXPECT_EQ(stack->topViewController(), menu) << "no screen is pushed";
    screenshot("contact_us", alert);
    tap(alertButton(alert, "Cancel"));
    EXPECT_TRUE(browser.opened.isEmpty());
    EXPECT_EQ(player->settingValueArray()->dictionary(), before);

    for (const char* network : {"Facebook", "Twitter"}) {
        tap(menu->settingTableView->rows().last());
        tap(alertButton(menu->contactAlert(), network));
    }
    EXPECT_EQ(browser.opened, QList<QUrl>({SettingViewController::kFacebookPage, SettingViewController::kTwitterPage}));
    QDesktopServices::unsetUrlHandler("https");
}

TEST_F(SettingsMenu, AnEqualizerChangeIsLiveAtOnceAndStoredOnEnteringTheBackground)
{
    setSetting(EqModeChangeKey, 2);  // "Rock": a moved slider makes it "My Setting" (1) through the menu only
    SettingViewController* menu = openMenu();
    tap(menu->settingTableView->rows()[1]);
    settle();
    auto* eq = qobject_cast<EqualizerViewController*>(stack->topViewController());
    ASSERT_NE(eq, nullptr);
    dragSlider(eq->sliders[3], 18.5);
    EXPECT_EQ(setting(EqUserSetting1600Key), 18);
    EXPECT_EQ(setting(EqModeChangeKey), 1) << "the menu wrote the delegate's value into the live table";

    NotificationCenter::defaultCenter().postNotification(UIApplicationDidEnterBackgroundNotification, nullptr);
    const auto rows = h.library->allSetting();
    ASSERT_TRUE(rows && rows->size() == 1);
    EXPECT_EQ(rows->front()->integerForAttribute("Eq1600db"), 18);
    EXPECT_EQ(rows->front()->integerForAttribute("EqModeChange"), 1);

    // Leave the store as a first start finds it.
    player->InitSettingValue();
    player->SettingValueSave();
}

#include "settings_menu_test.moc"
