#pragma once
// The settings menu: seven rows, one per effect screen, Docking Mode, Volume Leveling and "Contact Us".
// It pushes the chosen screen on the navigation stack with the player's live settings
// table and is that screen's delegate: what a screen reports through
// setSettingChangeValue is written into the shared table at once, and reaches the store
// at the next save.
//
// Threads: main thread only.

#include "player/NavigationController.h"
#include "screens/SettingChangeDelegate.h"

#include "library/LiveTable.h"

#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QUrl>

class QPushButton;
class SettingTable;

class SettingViewController : public ViewController, public SettingChangeDelegate {
    Q_OBJECT

public:
    // The makers' pages on the two social networks, opened from "Contact Us".
    static const QUrl kFacebookPage;
    static const QUrl kTwitterPage;

    explicit SettingViewController(QWidget* parent = nullptr);

    void getSettingValue(const LiveTableRef& settings) { settingValueArray = settings; }
    void setSettingChangeValue(const QString& key, int value) override;
    void gotoTopView();

    // Chooses the row of `section` as a tap would.
    void didSelectRowAtSection(int section);
    // The answer to the "Contact Us" alert: 0 "Cancel", 1 "Facebook", 2 "Twitter".
    void alertView(int buttonIndex);

    void viewWillAppear(bool animated) override;

    SettingTable* settingTableView = nullptr;
    QWidget* footerView = nullptr;
    QPushButton* backButton = nullptr;
    QMessageBox* contactAlert() const { return mContactAlert; }
    const LiveTableRef& settings() const { return settingValueArray; }

private:
    void reloadData();
    void showContactAlert();

    QStringList tableDataList;
    LiveTableRef settingValueArray;
    QPointer<QMessageBox> mContactAlert;
};

// Lets the player open this menu from its settings button. The application calls it once
// at start-up, before the player's view is shown.
void registerSettingsMenu();
