#include "ScreenTestSupport.h"

#include "screens/SettingViewController.h"
#include "screens/ValueSlider.h"

#include "platform/session/AudioSession.h"

#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

namespace {

const QStringList kScreenNotifications{EqualizerSettingNotification, SpeedPitchSettingNotification,
                                       StereoChangeSettingNotification, StageChangeSettingNotification,
                                       DockingChangeSettingNotification};

QString describe(const Notification& n)
{
    QStringList parts{QStringLiteral("post ") + n.name};
    for (auto it = n.userInfo.begin(); it != n.userInfo.end(); ++it)
        parts << it.key() + '=' + QString::number(it.value().toInt());
    return parts.join(' ');
}

}  // namespace

void RecordingDelegate::setSettingChangeValue(const QString& key, int value)
{
    mLog << QStringLiteral("tell %1=%2").arg(key).arg(value);
    mTable->setIntegerValue(key, value);
}

ScreenTest::ScreenTest()
    : engine(h.engine), player(h.player.release()), stack(new NavigationController(player)),
      delegate(log, player->settingValueArray())
{
    AudioSessionResetForTesting();
    registerSettingsMenu();
    stack->resize(320, 480);
    stack->show();
    // The player registered first, so a post is logged after the player has handled it.
    NotificationCenter::defaultCenter().addObserver(this, QString(), nullptr, [this](const Notification& n) {
        if (kScreenNotifications.contains(n.name))
            log << describe(n);
    });
    engine->clearCalls();
}

ScreenTest::~ScreenTest()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    AudioSessionResetForTesting();
    delete stack;
}

void tap(QWidget* widget)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

void dragSlider(ValueSlider* slider, double level)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = option.sliderValue = slider->value();
    option.subControls = QStyle::SC_All;
    const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
    const QRect groove = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, slider);
    const int span = groove.width() - handle.width();
    const auto pixelOf = [&](double value) {
        return QStyle::sliderPositionFromValue(slider->minimum(), slider->maximum(), int(value), span);
    };
    const QPoint start = handle.center();
    const int target = start.x() + pixelOf(level * ValueSlider::kSteps) - pixelOf(slider->value());
    QTest::mousePress(slider, Qt::LeftButton, {}, start);
    // A finger moves through the positions in between.
    const int steps = 4;
    for (int i = 1; i <= steps; ++i) {
        const QPointF at(start.x() + (target - start.x()) * i / steps, start.y());
        QMouseEvent move(QEvent::MouseMove, at, slider->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(slider, &move);
    }
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(target, start.y()));
}
