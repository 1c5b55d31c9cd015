#include "screens/SettingViewController.h"

#include "screens/ButtonImages.h"
#include "screens/DStereoViewController.h"
#include "screens/DockingModeViewController.h"
#include "screens/EffectScreens.h"
#include "screens/EqualizerViewController.h"
#include "screens/SpeedPitchController.h"
#include "screens/StageModeViewController.h"
#include "screens/VolumeLevelingViewController.h"
#include "screens/SettingTable.h"

#include "player/SettingsMenuFactory.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kFooterHeight = 33;
constexpr int kHeaderHeight = 0;
constexpr int kTopSpace = 6;  // between the bar and the first row
// Six rows and their footers fit under the bar; the seventh, "Volume Leveling", and the
// footer with the way back are scrolled to.
constexpr int kRowHeight = 38;
const QString ContactName = QStringLiteral("Contact Us");
enum { kDockingSection = 4, kContactSection = 6 };

}  // namespace

const QUrl SettingViewController::kFacebookPage(QStringLiteral("https://www.facebook.com/tavoro.player"));
const QUrl SettingViewController::kTwitterPage(QStringLiteral("https://twitter.com/tavoroplayer"));

SettingViewController::SettingViewController(QWidget* parent) : ViewController(parent)
{
    setObjectName(QStringLiteral("SettingViewController"));
    tableDataList = {StereoName, EqualizerName, StageName, SpeedPitchName, DockingName, VolumeLevelingName, ContactName};

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    settingTableView = new SettingTable(this);
    layout->addWidget(settingTableView);

    // Below the last section: the way back to the player.
    footerView = new QWidget;
    footerView->setObjectName(QStringLiteral("footerView"));
    backButton = newBackButton(footerView);
    backButton->setAccessibleName(QStringLiteral("Back to the player"));
    backButton->move(4, 2);
    connect(backButton, &QPushButton::clicked, this, [this] { gotoTopView(); });

    for (int section = 0; section < tableDataList.size(); ++section) {
        settingTableView->addSection(section == 0 ? kTopSpace : kHeaderHeight);
        TableRow* row = settingTableView->addRow(kRowHeight);
        row->setSelectable(true);
        connect(row, &TableRow::selected, this, [this, section] { didSelectRowAtSection(section); });
        settingTableView->addFooter(kFooterHeight, section == kContactSection ? footerView : nullptr);
    }
    QList<QWidget*> chain = settingTableView->focusChain();
    chain << backButton;
    QWidget* previous = nullptr;
    for (QWidget* w : chain) {
        if (previous)
            setTabOrder(previous, w);
        previous = w;
    }
    reloadData();
}

// Cells: the row's text with a disclosure mark.
void SettingViewController::reloadData()
{
    const QList<TableRow*>& rows = settingTableView->rows();
    for (int section = 0; section < rows.size(); ++section) {
        rows[section]->setText(tableDataList.value(section));
        rows[section]->setDisclosureIndicator(true);
    }
}

void SettingViewController::viewWillAppear(bool /*animated*/)
{
    if (NavigationController* stack = navigationController())
        stack->setNavigationBarHidden(false, false);
    reloadData();
}

void SettingViewController::setSettingChangeValue(const QString& key, int value)
{
    if (settingValueArray)
        settingValueArray->setIntegerValue(key, value);
}

void SettingViewController::gotoTopView()
{
    if (NavigationController* stack = navigationController())
        stack->popToRootViewControllerAnimated(true);
}

// The row is recognised by its text, the docking screen also by its section.
void SettingViewController::didSelectRowAtSection(int section)
{
    const QString text = tableDataList.value(section);
    if (section == kContactSection) {
        showContactAlert();
        return;
    }
    EffectScreen* screen = newEffectScreen(section == kDockingSection ? DockingName : text, settingValueArray);
    NavigationController* stack = navigationController();
    if (!screen || !stack) {
        delete screen;
        return;
    }
    screen->setDelegate(this);
    screen->setTitle(text);
    stack->pushViewController(screen, true);
}

void SettingViewController::showContactAlert()
{
    if (mContactAlert)
        return;
    auto* alert = new QMessageBox(this);
    alert->setObjectName(QStringLiteral("contactAlert"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowTitle(ContactName);
    alert->setText(ContactName);
    alert->setInformativeText(QStringLiteral("Please send an email if this app has any defects.\n\n"
                                             "It would be awesome if you like us and follow us. "));
    const QStringList buttons{QStringLiteral("Cancel"), QStringLiteral("Facebook"), QStringLiteral("Twitter")};
    for (int index = 0; index < buttons.size(); ++index) {
        QPushButton* b = alert->addButton(buttons[index], index == 0 ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        connect(b, &QPushButton::clicked, this, [this, index] { alertView(index); });
    }
    mContactAlert = alert;
    alert->open();
}

void SettingViewController::alertView(int buttonIndex)
{
    if (buttonIndex == 1)
        QDesktopServices::openUrl(kFacebookPage);
    else if (buttonIndex == 2)
        QDesktopServices::openUrl(kTwitterPage);
}

void registerSettingsMenu()
{
    setSettingsMenuFactory([](const LiveTableRef& settings) -> ViewController* {
        auto* menu = new SettingViewController;
        menu->getSettingValue(settings);
        return menu;
    });
}
