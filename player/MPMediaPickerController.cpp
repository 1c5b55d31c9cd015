#include "player/MPMediaPickerController.h"

#include "platform/media/MPMediaQuery.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

MPMediaPickerController::MPMediaPickerController(MPMediaType mediaTypes, QWidget* parent)
    : QDialog(parent),
      mPrompt(new QLabel(this)),
      mList(new QListView(this)),
      mModel(new QStandardItemModel(this)),
      mCancel(new QPushButton(tr("Cancel"), this)),
      mDone(new QPushButton(tr("Done"), this))
{
    // Every song of the library is music; no other media type exists here.
    if (mediaTypes & MPMediaTypeMusic)
        mItems = MPMediaQuery::songsQuery().items();
    mModel->setColumnCount(1);
    for (const MPMediaItem& item : std::as_const(mItems)) {
        const QString artist = item.artist().value_or(QString());
        auto* row = new QStandardItem(artist.isEmpty() ? item.title() : item.title() + " - " + artist);
        row->setEditable(false);
        row->setCheckable(true);
        row->setCheckState(Qt::Unchecked);
        mModel->appendRow(row);
    }
    mList->setModel(mModel);
    mList->setUniformItemSizes(true);
    mList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mPrompt->setAlignment(Qt::AlignCenter);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(mCancel);
    buttons->addStretch();
    buttons->addWidget(mDone);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mPrompt);
    layout->addWidget(mList);
    layout->addLayout(buttons);
    resize(320, 460);

    // A tap anywhere on a row ticks or unticks it.
    connect(mList, &QListView::clicked, this, [this](const QModelIndex& index) {
        QStandardItem* row = mModel->itemFromIndex(index);
        if (row)
            setItemPicked(index.row(), row->checkState() != Qt::Checked);
    });
    connect(mCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(mDone, &QPushButton::clicked, this, &MPMediaPickerController::finishPicking);
    // Escape or closing the window counts as Cancel.
    connect(this, &QDialog::rejected, this, &MPMediaPickerController::didCancel);
}

void MPMediaPickerController::setPrompt(const QString& prompt)
{
    mPrompt->setText(prompt);
}

QString MPMediaPickerController::prompt() const
{
    return mPrompt->text();
}

void MPMediaPickerController::setAllowsPickingMultipleItems(bool allows)
{
    mMultiple = allows;
}

void MPMediaPickerController::setItemPicked(int row, bool picked)
{
    if (row < 0 || row >= mModel->rowCount())
        return;
    if (picked && !mMultiple) {
        for (int r = 0; r < mModel->rowCount(); ++r)
            mModel->item(r)->setCheckState(Qt::Unchecked);
    }
    mModel->item(row)->setCheckState(picked ? Qt::Checked : Qt::Unchecked);
}

void MPMediaPickerController::finishPicking()
{
    QList<MPMediaItem> picked;
    for (int r = 0; r < mModel->rowCount(); ++r) {
        if (mModel->item(r)->checkState() == Qt::Checked)
            picked.append(mItems[r]);
    }
    emit didPickMediaItems(MPMediaItemCollection(picked));
}
