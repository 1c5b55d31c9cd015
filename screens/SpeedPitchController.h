#pragma once
// The speed and pitch screen: the on/off switch, minus and plus buttons for the speed
// (tenths of the normal speed, 5 to 20) and the pitch (steps 1 to 13, 7 unchanged), and
// "Reset". Every change is posted as "SpeedPitchSettingNotification"; the screen never
// calls its delegate. A step starts from the value in the settings table, which the
// player updates when it handles the notification.

#include "screens/EffectScreen.h"

class OnOffSwitch;
class QLabel;
class QPushButton;
class TableRow;

inline const QString SpeedPitchName = QStringLiteral("SPEED/PITCH Control");

class SpeedPitchController : public EffectScreen {
    Q_OBJECT

public:
    // Button tags.
    enum { kSpeedMinus = 1, kSpeedPlus = 2, kPitchMinus = 3, kPitchPlus = 4 };

    explicit SpeedPitchController(QWidget* parent = nullptr);

    void getSpeedPitchSettingValue(const LiveTableRef& settings) { mSettings = settings; }

    void switchAction();
    void controlButton(int tag);
    void defaultbuttonChange();

    // "%d.%d" of v / 10 and v % 10; "%d" of p - 7.
    static QString speedText(int speed);
    static QString pitchText(int pitch);

    OnOffSwitch* switchCtl = nullptr;
    QPushButton* button(int tag) const { return mButtons[tag - 1]; }
    QLabel* speedLabel = nullptr;
    QLabel* pitchLabel = nullptr;
    TableRow* resetRow = nullptr;
    bool speedEnable() const { return SpeedEnable; }
    int spValue() const { return SPValue; }
    int ptValue() const { return PTValue; }

protected:
    void viewDidLoad() override;

private:
    QWidget* makeControlCell(TableRow* row, int minusTag, int plusTag, QLabel** valueLabel);
    void reloadData();
    int storedSpeed() const;
    int storedPitch() const;

    bool SpeedEnable = false;
    int SPValue = 10;
    int PTValue = 7;
    QPushButton* mButtons[4] = {};
};
