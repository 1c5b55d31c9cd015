#include "screens/SettingTable.h"

#include <QAccessibleWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// How long a chosen row stays lit before it is deselected again.
constexpr int kDeselectMilliseconds = 150;

}  // namespace

// A row as a screen reader sees it: a button named by its text (and its detail, "Equalizer:
// Rock") while it can be chosen, else static text; pressing it chooses it.
class TableRowAccessible final : public QAccessibleWidget {
public:
    explicit TableRowAccessible(TableRow* row) : QAccessibleWidget(row) {}

    QAccessible::Role role() const override
    {
        return row()->isSelectable() ? QAccessible::Button : QAccessible::StaticText;
    }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        const QString detail = row()->detailText();
        return detail.isEmpty() ? row()->text() : row()->text() + QStringLiteral(": ") + detail;
    }
    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (row()->isSelectable())
            names.prepend(pressAction());
        return names;
    }
    void doAction(const QString& name) override
    {
        if (name == pressAction())
            row()->choose();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    TableRow* row() const { return static_cast<TableRow*>(widget()); }
};

namespace {

QAccessibleInterface* tableRowAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("TableRow") && object && object->isWidgetType())
        return new TableRowAccessible(static_cast<TableRow*>(object));
    return nullptr;
}

}  // namespace

TableRow::TableRow(int height, QWidget* parent) : QFrame(parent)
{
    static const bool accessibleRows = (QAccessible::installFactory(tableRowAccessible), true);
    (void)accessibleRows;
    setFixedHeight(height);
    setAutoFillBackground(true);
    setFrameShape(QFrame::NoFrame);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 0, 10, 0);
    layout->setSpacing(6);
    mLabel = new QLabel(this);
    QFont f = mLabel->font();
    f.setPixelSize(17);
    f.setBold(true);
    mLabel->setFont(f);
    mDetail = new QLabel(this);
    QFont df = mDetail->font();
    df.setPixelSize(16);
    mDetail->setFont(df);
    mDetail->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    mDetail->hide();
    mDisclosure = new QLabel(QStringLiteral("\u203A"), this);
    QFont mf = mDisclosure->font();
    mf.setPixelSize(22);
    mDisclosure->setFont(mf);
    mDisclosure->hide();
    layout->addWidget(mLabel, 1);
    layout->addWidget(mDetail, 0);
    layout->addWidget(mDisclosure, 0);
    refreshLook();
}

void TableRow::setText(const QString& text)
{
    mBlank = false;
    mLabel->setText(text);
    refreshLook();
}
QString TableRow::text() const { return mBlank ? QString() : mLabel->text(); }

void TableRow::setDetailText(const QString& text)
{
    mDetail->setText(text);
    mDetail->setVisible(!text.isEmpty());
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

QString TableRow::detailText() const { return mDetail->text(); }

void TableRow::setCentered(bool centered)
{
    mLabel->setAlignment(centered ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
}

void TableRow::setNote(const QString& text, int pixelSize)
{
    mLabel->setText(text);
    mLabel->setWordWrap(true);
    mLabel->setAlignment(Qt::AlignCenter);
    QFont f = mLabel->font();
    f.setBold(false);
    f.setPixelSize(pixelSize);
    mLabel->setFont(f);
    QPalette pal = mLabel->palette();
    pal.setColor(QPalette::WindowText, Qt::gray);
    mLabel->setPalette(pal);
}

void TableRow::setAccessoryView(QWidget* view)
{
    if (mAccessory == view)
        return;
    if (mAccessory)
        mAccessory->deleteLater();
    mAccessory = view;
    if (view) {
        view->setParent(this);
        auto* row = static_cast<QHBoxLayout*>(layout());
        row->insertWidget(2, view, 0, Qt::AlignVCenter);
        view->show();
    }
}

void TableRow::setDisclosureIndicator(bool shown) { mDisclosure->setVisible(shown); }
bool TableRow::hasDisclosureIndicator() const { return !mDisclosure->isHidden(); }

void TableRow::setSelectable(bool selectable)
{
    mSelectable = selectable;
    setFocusPolicy(selectable ? Qt::StrongFocus : Qt::NoFocus);
    refreshLook();
}

void TableRow::setBlank()
{
    mBlank = true;
    mLabel->clear();
    setDetailText(QString());
    setDisclosureIndicator(false);
    setSelectable(false);
}

void TableRow::mousePressEvent(QMouseEvent* event)
{
    if (mSelectable)
        setHighlighted(true);
    QFrame::mousePressEvent(event);
}

void TableRow::mouseReleaseEvent(QMouseEvent* event)
{
    if (rect().contains(event->position().toPoint()))
        choose();
    else
        setHighlighted(false);
    QFrame::mouseReleaseEvent(event);
}

void TableRow::keyPressEvent(QKeyEvent* event)
{
    if (mSelectable && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                        event->key() == Qt::Key_Space)) {
        choose();
        return;
    }
    QFrame::keyPressEvent(event);
}

void TableRow::focusInEvent(QFocusEvent* event)
{
    refreshLook();
    QFrame::focusInEvent(event);
}

void TableRow::focusOutEvent(QFocusEvent* event)
{
    refreshLook();
    QFrame::focusOutEvent(event);
}

// Every tap on a row deselects it again, chosen or not; only a selectable row reports.
void TableRow::choose()
{
    if (mSelectable) {
        setHighlighted(true);
        emit selected();
    }
    QTimer::singleShot(kDeselectMilliseconds, this, [this] { setHighlighted(false); });
}

void TableRow::setHighlighted(bool on)
{
    mHighlighted = on;
    refreshLook();
}

void TableRow::refreshLook()
{
    QPalette pal = palette();
    QColor background = mBlank ? QColor(0, 0, 0, 0) : QColor(Qt::white);
    if (mHighlighted)
        background = QColor(40, 110, 220);
    else if (hasFocus())
        background = QColor(215, 228, 250);
    pal.setColor(QPalette::Window, background);
    setPalette(pal);
    QPalette textPalette = mLabel->palette();
    if (mLabel->wordWrap())
        return;  // a note keeps its grey
    textPalette.setColor(QPalette::WindowText, mHighlighted ? Qt::white : Qt::black);
    mLabel->setPalette(textPalette);
    mDetail->setPalette(textPalette);
}

SettingTable::SettingTable(QWidget* parent) : QScrollArea(parent)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::NoFocus);
    mBody = new QWidget;
    mBody->setAutoFillBackground(true);
    QPalette pal = mBody->palette();
    pal.setColor(QPalette::Window, QColor(197, 204, 212));
    mBody->setPalette(pal);
    mLayout = new QVBoxLayout(mBody);
    mLayout->setContentsMargins(9, 0, 9, 0);
    mLayout->setSpacing(0);
    mLayout->addStretch(1);
    setWidget(mBody);
}

void SettingTable::addSection(int headerHeight, QWidget* header)
{
    mSectionStarts.append(mRows.size());
    QWidget* space = header ? header : new QWidget(mBody);
    space->setParent(mBody);
    space->setFixedHeight(headerHeight);
    mLayout->insertWidget(mLayout->count() - 1, space);
}

TableRow* SettingTable::addRow(int height)
{
    if (mSectionStarts.isEmpty())
        addSection(0);
    auto* row = new TableRow(height, mBody);
    mLayout->insertWidget(mLayout->count() - 1, row);
    mRows.append(row);
    return row;
}

void SettingTable::addFooter(int height, QWidget* footer)
{
    QWidget* space = footer ? footer : new QWidget(mBody);
    space->setParent(mBody);
    space->setFixedHeight(height);
    mLayout->insertWidget(mLayout->count() - 1, space);
}

QList<TableRow*> SettingTable::rowsOfSection(int section) const
{
    if (section < 0 || section >= mSectionStarts.size())
        return {};
    const int first = mSectionStarts[section];
    const int end = section + 1 < mSectionStarts.size() ? mSectionStarts[section + 1] : mRows.size();
    return mRows.mid(first, end - first);
}

QList<QWidget*> SettingTable::focusChain() const
{
    QList<QWidget*> chain;
    for (TableRow* row : mRows) {
        chain.append(row);  // a row that cannot be chosen now is skipped by Tab
        if (QWidget* accessory = row->accessoryView(); accessory && accessory->focusPolicy() != Qt::NoFocus)
            chain.append(accessory);
    }
    return chain;
}
