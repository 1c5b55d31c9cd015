#include "screens/PickerView.h"

#include <QSignalBlocker>

PickerView::PickerView(QWidget* parent) : QListWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont f = font();
    f.setPixelSize(20);
    setFont(f);
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            emit didSelectRow(row);
    });
}

void PickerView::setTitles(const QStringList& titles)
{
    const QSignalBlocker quiet(this);
    clear();
    for (const QString& title : titles) {
        auto* item = new QListWidgetItem(title, this);
        item->setTextAlignment(Qt::AlignCenter);
        item->setSizeHint(QSize(0, 36));
    }
}

void PickerView::selectRow(int row, bool animated)
{
    const QSignalBlocker quiet(this);
    if (row < 0 || row >= count()) {
        setCurrentRow(-1);
        clearSelection();
        return;
    }
    setCurrentRow(row);
    scrollToItem(item(row), animated ? QAbstractItemView::PositionAtCenter : QAbstractItemView::EnsureVisible);
}
