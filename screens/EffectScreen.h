#pragma once
// What the effect screens share: their own title bar with a back button ("back.png",
// "back_select.png" while pressed) and the title label, the grouped table under it, the
// live settings table they read, the delegate they tell and the notification they post.
//
// An effect screen is pushed on the navigation stack (from the settings menu or the
// docking screen) or presented over it (from the docking screen); either way it hides
// the stack's bar while it is shown and its back button, like Escape, closes it.
// A screen reads the settings table when it is first about to appear ("loading the
// view"), so the opener hands the table over before showing it.
//
// Threads: main thread only.

#include "player/NavigationController.h"
#include "screens/SettingChangeDelegate.h"

#include "library/LiveTable.h"

#include <QVariantMap>

#include <functional>

class OnOffSwitch;
class QLabel;
class QPushButton;
class SettingTable;
class TableRow;

// On/off entries of the settings table.
inline constexpr int kSwitchOn = 2;
inline constexpr int kSwitchOff = 1;

class EffectScreen : public ViewController {
    Q_OBJECT

public:
    explicit EffectScreen(QWidget* parent = nullptr);

    void setDelegate(SettingChangeDelegate* delegate) { mDelegate = delegate; }
    SettingChangeDelegate* delegate() const { return mDelegate; }

    // Closes the screen, animated: dismissed when presented, popped when pushed.
    void backSettingButton();

    void viewWillAppear(bool animated) override;
    bool isViewLoaded() const { return mViewLoaded; }

    QPushButton* backButton = nullptr;
    QLabel* TitleLabel = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;

    // Reads the settings table into the screen, once, before it first appears.
    virtual void viewDidLoad() = 0;

    // Puts the back button first, then the table's controls, then `after`, in Tab order.
    void chainFocus(const QList<QWidget*>& after = {});

    // A new section of one row labelled `label` with a switch that runs `changed` when the
    // user flips it.
    OnOffSwitch* addSwitchRow(int headerHeight, int rowHeight, const QString& label, std::function<void()> changed);
    // A new section of one centred, selectable "Reset" row that runs `chosen`.
    TableRow* addResetRow(int headerHeight, int rowHeight, std::function<void()> chosen);

    void setTitleLabels(const QString& title);
    int settingValue(const QString& key) const;
    void tellDelegate(const QString& key, int value);
    void post(const QString& name, const QVariantMap& userInfo);

    LiveTableRef mSettings;
    SettingTable* mTable = nullptr;

private:
    // The title label's frame in a bar `width` wide.
    static QRect titleFrame(int width);

    SettingChangeDelegate* mDelegate = nullptr;  // not owned
    bool mViewLoaded = false;
};

// Integers only reach the notification centre in this form.
inline QVariantMap changeInfo(std::initializer_list<std::pair<QString, int>> entries)
{
    QVariantMap info;
    for (const auto& [key, value] : entries)
        info.insert(key, value);
    return info;
}
