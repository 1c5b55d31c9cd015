#include "screens/EffectScreen.h"

#include "screens/ButtonImages.h"
#include "screens/OnOffSwitch.h"
#include "screens/SettingTable.h"

#include "platform/foundation/NotificationCenter.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kTitleBarHeight = 44;

}  // namespace

EffectScreen::EffectScreen(QWidget* parent) : ViewController(parent)
{
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("titleBar"));
    bar->setFixedHeight(kTitleBarHeight);
    bar->setAutoFillBackground(true);
    QPalette barPalette = bar->palette();
    barPalette.setColor(QPalette::Window, QColor(20, 20, 20));
    barPalette.setColor(QPalette::WindowText, Qt::white);
    bar->setPalette(barPalette);
    backButton = newBackButton(bar);
    backButton->setAccessibleName(QStringLiteral("Back"));
    backButton->move(6, 7);
    connect(backButton, &QPushButton::clicked, this, [this] { backSettingButton(); });
    TitleLabel = new QLabel(bar);
    TitleLabel->setObjectName(QStringLiteral("TitleLabel"));
    TitleLabel->setGeometry(titleFrame(320));
    TitleLabel->setAlignment(Qt::AlignCenter);
    QFont f = TitleLabel->font();
    f.setBold(true);
    f.setPixelSize(17);
    TitleLabel->setFont(f);
    layout->addWidget(bar);

    mTable = new SettingTable(this);
    layout->addWidget(mTable, 1);
}

QRect EffectScreen::titleFrame(int width)
{
    // Centred in the bar, clear of the back button, with the same margin on the right.
    return QRect(60, 0, width - 120, kTitleBarHeight);
}

void EffectScreen::resizeEvent(QResizeEvent* event)
{
    ViewController::resizeEvent(event);
    TitleLabel->setGeometry(titleFrame(width()));
}

void EffectScreen::backSettingButton()
{
    NavigationController* stack = navigationController();
    if (!stack)
        return;
    if (stack->modalViewController() == this)
        stack->dismissModalViewControllerAnimated(true);
    else
        stack->popViewControllerAnimated(true);
}

void EffectScreen::viewWillAppear(bool /*animated*/)
{
    NavigationController* stack = navigationController();
    if (stack && stack->modalViewController() != this)
        stack->setNavigationBarHidden(true, false);
    if (!mViewLoaded) {
        mViewLoaded = true;
        viewDidLoad();
    }
}

void EffectScreen::chainFocus(const QList<QWidget*>& after)
{
    QList<QWidget*> chain{backButton};
    chain += mTable->focusChain();
    chain += after;
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

OnOffSwitch* EffectScreen::addSwitchRow(int headerHeight, int rowHeight, const QString& label,
                                       std::function<void()> changed)
{
    mTable->addSection(headerHeight);
    TableRow* row = mTable->addRow(rowHeight);
    row->setText(label);
    auto* control = new OnOffSwitch;
    row->setAccessoryView(control);
    connect(control, &OnOffSwitch::clicked, this, std::move(changed));
    return control;
}

TableRow* EffectScreen::addResetRow(int headerHeight, int rowHeight, std::function<void()> chosen)
{
    mTable->addSection(headerHeight);
    TableRow* row = mTable->addRow(rowHeight);
    row->setText(QStringLiteral("Reset"));
    row->setCentered(true);
    row->setSelectable(true);
    connect(row, &TableRow::selected, this, std::move(chosen));
    return row;
}

void EffectScreen::setTitleLabels(const QString& title)
{
    TitleLabel->setText(title);
    setTitle(title);
}

int EffectScreen::settingValue(const QString& key) const
{
    return mSettings ? mSettings->integerValue(key) : 0;
}

void EffectScreen::tellDelegate(const QString& key, int value)
{
    if (mDelegate)
        mDelegate->setSettingChangeValue(key, value);
}

void EffectScreen::post(const QString& name, const QVariantMap& userInfo)
{
    NotificationCenter::defaultCenter().postNotification(name, this, userInfo);
}
